// The frame loop's memory of the last frame.
#include "kern/redraw.h"
#include "kern/console.h"
#include "kern/scene.h"
#include "kern/video/fill.h"
#include "kern/video/pipeline.h"
#include "kern/video/video.h"

namespace kern {

// Everything the scene's pixels follow from, apart from the triangles.
struct SceneKey {
    const Triangle* scene;
    int count;
    Vec3 position;
    int32_t pitch, yaw;
    PipelineSwitches switches;
};

static bool everything;
static bool kept;                        // key and triangles are those of the scene last drawn
static SceneKey key;
static Triangle triangles[SCENE_TRIANGLES];
static_assert(sizeof(Triangle) % 4 == 0, "triangles are copied as words");
static int intact_from = SCREEN_HEIGHT;  // the back buffer holds that scene from this row down
// The scene drawn this frame is not the last one: the next frame, likely
// as not, draws another, so its rows are cleared as they are copied.
static bool clear_when_shown;
// The last copy cleared the scene from this row down, where the display
// still shows it.
static int cleared_from = SCREEN_HEIGHT;

void Redraw_Reset()
{
    everything = false;
    kept = false;
    intact_from = SCREEN_HEIGHT;
    clear_when_shown = false;
    cleared_from = SCREEN_HEIGHT;
}

void Redraw_Everything(bool on) { everything = on; }

static bool same_vec(Vec3 a, Vec3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

static bool same_key(const SceneKey& a, const SceneKey& b)
{
    return a.scene == b.scene && a.count == b.count && same_vec(a.position, b.position) && a.pitch == b.pitch &&
           a.yaw == b.yaw && a.switches.cull == b.switches.cull && a.switches.model == b.switches.model &&
           a.switches.view == b.switches.view && a.switches.projection == b.switches.projection;
}

// Larger scenes than the cube are never kept (keep), so always drawn again.
static bool same_scene(const SceneKey& now, const Triangle* scene)
{
    if (!kept || !same_key(now, key))
        return false;
    for (int i = 0; i < now.count; i++) {
        const Triangle& t = triangles[i];
        if (!same_vec(t.corners[0], scene[i].corners[0]) || !same_vec(t.corners[1], scene[i].corners[1]) ||
            !same_vec(t.corners[2], scene[i].corners[2]) || t.colour != scene[i].colour)
            return false;
    }
    return true;
}

// One string move: the triangles are kept every frame the scene is drawn.
static void keep(const SceneKey& now, const Triangle* scene)
{
    key = now;
    kept = now.count >= 0 && now.count <= SCENE_TRIANGLES;
    if (kept)
        copy_words(reinterpret_cast<uint8_t*>(triangles), reinterpret_cast<const uint8_t*>(scene),
                   static_cast<uint32_t>(now.count) * (sizeof(Triangle) / 4));
}

// The scene below the console's rows (the rasteriser leaves those alone).
static void draw_scene(const Triangle* scene, int count, Vec3 position, int32_t pitch, int32_t yaw)
{
    int top = Console_Rows();
    SceneKey now = {scene, count, position, pitch, yaw, Pipeline_Switches()};
    bool same = same_scene(now, scene);
    int last = same ? intact_from - 1 : SCREEN_HEIGHT - 1;
    clear_when_shown = false;
    if (top <= last) {
        ClearDrawnRows(top, last);
        SetSceneRows(top, last);
        draw_buffer(scene, count);
        SetSceneRows(0, SCREEN_HEIGHT - 1);
        keep(now, scene);
        clear_when_shown = !same;
        // Drawn again as the display shows it: those rows are no change.
        if (same)
            RowsShownAlready(top > cleared_from ? top : cleared_from);
    }
    cleared_from = SCREEN_HEIGHT;
    // Above `top` the console paints over the scene.
    intact_from = top;
}

// The console goes first: where it slides up, it moves its pixels up
// before the scene takes the rows it leaves. Each draws in its own rows.
void Redraw_Frame(const Triangle* scene, int count, Vec3 position, int32_t pitch, int32_t yaw)
{
    if (everything) {
        cleared_from = SCREEN_HEIGHT;
        ClearScreen();
        draw_buffer(scene, count);
        Console_Draw();
        return;
    }
    Console_DrawChanged();
    draw_scene(scene, count, position, pitch, yaw);
}

// Once cleared, the back buffer holds no scene to be kept: a scene that
// stays the same is drawn once more, and then kept.
void Redraw_Show()
{
    if (everything) {
        Blit();
    } else if (clear_when_shown) {
        BlitChangedRowsAndClear(intact_from);
        cleared_from = intact_from;
        intact_from = SCREEN_HEIGHT;
    } else {
        BlitChangedRows();
    }
}

} // namespace kern
