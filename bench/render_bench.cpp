// The renderer's benchmarks on the host: the kernel's own fill, raster and
// pipeline code (compiled as the kernel compiles it) drawing the benchmark
// scenes into the back buffer at its fixed address, against memset and
// memcpy of one frame as the limit the memory sets.
//
//   render_bench [--ratios_out=FILE] [Google Benchmark flags]
//
// Before timing, fill_run is checked at every alignment and length, and
// every scene is drawn once by the kernel's rasteriser and once by the
// plain per-pixel one; the program stops if a single pixel differs. After the runs it prints each figure as a ratio to the baseline
// and says which of the performance targets are met.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "bench/scenes.h"
#include "hw/host/fixed_ranges.h"
#include "hw/host/hw_host.h"
#include "kern/console.h"
#include "kern/video/fill.h"
#include "kern/video/video.h"

using bench::SceneId;
using kern::Triangle;

namespace {

const size_t FRAME = kern::SCREEN_BYTES;

// Targets, each a ratio measured in one run.
const double CUBE_LIMIT = 3.0;            // x (memset + memcpy)
const double FILL_SHARE = 0.40;           // of memset's bytes per second
const double REFERENCE_SPEEDUP = 8.0;     // scene A against the per-pixel rule
const double SETUP_RATE = 20e6;           // triangles per second, scene D

Triangle scenes[bench::SCENE_COUNT][bench::MAX_SCENE_TRIANGLES];
int counts[bench::SCENE_COUNT];
uint32_t pixels[bench::SCENE_COUNT];
Triangle cube[bench::CUBE_TRIANGLES];

uint8_t* video() { return reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(kern::VIDEO_MEMORY)); }

std::string scene_name(SceneId id) { return std::string("BM_Scene") + bench::scene_info(id).letter; }

void BM_Memset64000(benchmark::State& state)
{
    int value = 0;
    for (auto _ : state) {
        memset(kern::back_buffer(), value++, FRAME);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FRAME);
}

void BM_Memcpy64000(benchmark::State& state)
{
    for (auto _ : state) {
        memcpy(video(), kern::back_buffer(), FRAME);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * FRAME);
}

void BM_SceneCube(benchmark::State& state, int view)
{
    for (auto _ : state) {
        bench::cube_frame(cube, bench::cube_view(view));
        benchmark::ClobberMemory();
    }
}

void set_scene_counters(benchmark::State& state, SceneId id)
{
    int64_t frames = static_cast<int64_t>(state.iterations());
    state.counters["triangles"] = counts[id];
    state.counters["pixels"] = pixels[id];
    if (id == bench::SCENE_C) {
        state.SetItemsProcessed(frames * pixels[id]);
        state.SetBytesProcessed(frames * pixels[id]);   // one byte a pixel
    } else if (id == bench::SCENE_D) {
        state.SetItemsProcessed(frames * counts[id]);
    }
}

void BM_Scene(benchmark::State& state, SceneId id)
{
    for (auto _ : state) {
        bench::scene_frame(id, scenes[id], counts[id]);
        benchmark::ClobberMemory();
    }
    set_scene_counters(state, id);
}

void BM_SceneA_PerPixelReference(benchmark::State& state)
{
    for (auto _ : state) {
        bench::reference_frame(bench::SCENE_A, scenes[bench::SCENE_A], counts[bench::SCENE_A]);
        benchmark::ClobberMemory();
    }
    set_scene_counters(state, bench::SCENE_A);
}

// Draws the scene both ways from the same starting buffer; true when the
// buffer and the display memory come out the same.
bool matches_reference(SceneId id)
{
    static uint8_t want_buffer[FRAME], want_video[FRAME];
    memset(kern::back_buffer(), 0x5A, FRAME);
    memset(video(), 0xA5, FRAME);
    bench::reference_frame(id, scenes[id], counts[id]);
    memcpy(want_buffer, kern::back_buffer(), FRAME);
    memcpy(want_video, video(), FRAME);
    memset(kern::back_buffer(), 0x5A, FRAME);
    memset(video(), 0xA5, FRAME);
    bench::scene_frame(id, scenes[id], counts[id]);
    return memcmp(want_buffer, kern::back_buffer(), FRAME) == 0 && memcmp(want_video, video(), FRAME) == 0;
}

// fill_run stores words as wide as the registers, 8 bytes here and 4 in
// the 32-bit tests: every start alignment and length up to past the string
// store's, with the bytes on either side left alone.
bool fill_run_exact()
{
    const uint32_t longest = kern::FILL_STRING + 64, guard = 16, span = longest + 3 * guard;
    const uint8_t paper = 0x5A;
    uint8_t* base = kern::back_buffer();
    for (uint32_t offset = 0; offset < guard; offset++)
        for (uint32_t n = 0; n <= longest; n++) {
            memset(base, paper, span);
            uint8_t colour = static_cast<uint8_t>(n * 7 + offset);
            kern::fill_run(base + guard + offset, n, colour);
            for (uint32_t i = 0; i < span; i++)
                if (base[i] != (i >= guard + offset && i < guard + offset + n ? colour : paper)) {
                    fprintf(stderr, "render_bench: fill_run at offset %u, length %u: byte %u wrong\n", offset, n, i);
                    return false;
                }
        }
    return true;
}

bool prepare()
{
    if (!hwsim::map_fixed_ranges())
        return false;
    if (!fill_run_exact())
        return false;
    hwsim::set_tracing(false);   // the console's serial copy: no record needed
    kern::Console_Init();
    bench::switches_on();
    bench::build_cube(cube);
    for (int i = 0; i < bench::SCENE_COUNT; i++) {
        SceneId id = static_cast<SceneId>(i);
        counts[id] = bench::make_scene(id, scenes[id]);
        pixels[id] = bench::pixels_written(scenes[id], counts[id]);
        if (!matches_reference(id)) {
            fprintf(stderr, "render_bench: scene %c differs from the per-pixel rule\n", bench::scene_info(id).letter);
            return false;
        }
        printf("Scene %c: %s: %d triangles, %u pixels written\n", bench::scene_info(id).letter,
               bench::scene_info(id).what, counts[id], pixels[id]);
    }
    return true;
}

void register_all()
{
    benchmark::RegisterBenchmark("BM_Memset64000", BM_Memset64000);
    benchmark::RegisterBenchmark("BM_Memcpy64000", BM_Memcpy64000);
    for (int v = 0; v < bench::CUBE_VIEW_COUNT; v++)
        benchmark::RegisterBenchmark((std::string("BM_SceneCube/") + bench::cube_view(v).name).c_str(), BM_SceneCube,
                                     v);
    for (int i = 0; i < bench::SCENE_COUNT; i++)
        benchmark::RegisterBenchmark(scene_name(static_cast<SceneId>(i)).c_str(), BM_Scene, static_cast<SceneId>(i));
    benchmark::RegisterBenchmark("BM_SceneA_PerPixelReference", BM_SceneA_PerPixelReference);
}

// The console reporter, keeping each benchmark's time per iteration (the
// median over repetitions) for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::vector<double>> seconds;
    std::map<std::string, double> medians;   // Google Benchmark's own, when it reports them

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations <= 0)
                continue;
            double t = run.real_accumulated_time / static_cast<double>(run.iterations);
            if (run.run_type == Run::RT_Iteration)
                seconds[run.run_name.function_name].push_back(t);
            else if (run.aggregate_name == "median")
                medians[run.run_name.function_name] = t;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Seconds per iteration, or 0 when the benchmark did not run. With
    // --benchmark_report_aggregates_only the single repetitions never reach
    // a reporter, only the aggregates.
    double time(const std::string& name) const
    {
        auto m = medians.find(name);
        if (m != medians.end())
            return m->second;
        auto it = seconds.find(name);
        if (it == seconds.end())
            return 0;
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
};

struct Figure {
    std::string name;
    std::string measure;
    double value;
    std::string target;   // empty: no target
    bool met;
};

std::vector<Figure> figures(const RatioReporter& r)
{
    std::vector<Figure> f;
    double set = r.time("BM_Memset64000"), copy = r.time("BM_Memcpy64000");
    if (set <= 0 || copy <= 0)
        return f;
    double baseline = set + copy;
    f.push_back({"BM_Memset64000", "GB/s", FRAME / set / 1e9, "", true});
    f.push_back({"BM_Memcpy64000", "GB/s", FRAME / copy / 1e9, "", true});
    for (int v = 0; v < bench::CUBE_VIEW_COUNT; v++) {
        std::string name = std::string("BM_SceneCube/") + bench::cube_view(v).name;
        double t = r.time(name);
        if (t > 0)
            f.push_back({name, "x (memset+memcpy)", t / baseline, "<= 3", t / baseline <= CUBE_LIMIT});
    }
    for (int i = 0; i < bench::SCENE_COUNT; i++) {
        SceneId id = static_cast<SceneId>(i);
        double t = r.time(scene_name(id));
        if (t <= 0)
            continue;
        f.push_back({scene_name(id), "x (memset+memcpy)", t / baseline, "", true});
        if (id == bench::SCENE_C) {
            double share = (pixels[id] / t) / (FRAME / set);
            f.push_back({"BM_SceneC", "Gpx/s", pixels[id] / t / 1e9, "", true});
            f.push_back({"BM_SceneC", "of memset bandwidth", share, ">= 0.40", share >= FILL_SHARE});
        }
        if (id == bench::SCENE_D) {
            double rate = counts[id] / t;
            f.push_back({"BM_SceneD", "Mtriangles/s", rate / 1e6, ">= 20", rate >= SETUP_RATE});
        }
    }
    double a = r.time("BM_SceneA"), ref = r.time("BM_SceneA_PerPixelReference");
    if (a > 0 && ref > 0) {
        f.push_back({"BM_SceneA_PerPixelReference", "Gpx/s", pixels[bench::SCENE_A] / ref / 1e9, "", true});
        f.push_back({"BM_SceneA", "x faster than per-pixel", ref / a, ">= 8", ref / a >= REFERENCE_SPEEDUP});
    }
    return f;
}

void print_figures(const std::vector<Figure>& f)
{
    printf("\nAgainst the baseline (memset + memcpy of %zu bytes), medians of this run:\n", FRAME);
    for (const Figure& x : f) {
        std::string verdict = x.target.empty() ? "" : "target " + x.target + (x.met ? ": met" : ": NOT met");
        printf("  %-30s %10.3f %-24s %s\n", x.name.c_str(), x.value, x.measure.c_str(), verdict.c_str());
    }
}

bool write_figures(const std::vector<Figure>& f, const std::string& path)
{
    FILE* out = fopen(path.c_str(), "w");
    if (out == nullptr)
        return false;
    fprintf(out, "{\n  \"figures\": [\n");
    for (size_t i = 0; i < f.size(); i++)
        fprintf(out, "    {\"name\": \"%s\", \"measure\": \"%s\", \"value\": %.6g, \"target\": \"%s\", \"met\": %s}%s\n",
                f[i].name.c_str(), f[i].measure.c_str(), f[i].value, f[i].target.c_str(),
                f[i].target.empty() ? "null" : (f[i].met ? "true" : "false"), i + 1 < f.size() ? "," : "");
    fprintf(out, "  ]\n}\n");
    return fclose(out) == 0;
}

// Takes --ratios_out=FILE out of the arguments (Google Benchmark refuses
// flags it does not know).
std::string take_ratios_flag(int& argc, char** argv)
{
    const char flag[] = "--ratios_out=";
    std::string path;
    int kept = 1;
    for (int i = 1; i < argc; i++) {
        if (strncmp(argv[i], flag, sizeof flag - 1) == 0)
            path = argv[i] + sizeof flag - 1;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    std::string ratios_out = take_ratios_flag(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    if (!prepare())
        return 1;
    register_all();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::vector<Figure> f = figures(reporter);
    print_figures(f);
    if (!ratios_out.empty() && !write_figures(f, ratios_out)) {
        fprintf(stderr, "render_bench: cannot write %s\n", ratios_out.c_str());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
