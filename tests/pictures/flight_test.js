// The README's pictures of the demo flight: the animation and the still in
// docs/ are what the build's render_flight makes now, frame for frame, and
// every frame is the host's render of its camera by render_scene, the
// kernel's own pipeline (every eighth frame rendered again, for time).
//
//   node flight_test.js RENDER_FLIGHT RENDER_SCENE DOCS_DIR SCRATCH_DIR [HOST32_EMULATOR]
"use strict";
const fs = require("fs");
const path = require("path");

const support = path.join(__dirname, "..", "support");
const { readIndexedPng, readAnimatedPng } = require(path.join(support, "indexed_png.js"));
const { runHostTool, check } = require(path.join(support, "host_tool.js"));

const [renderFlight, renderScene, docs, scratch, host32 = ""] = process.argv.slice(2);
const CHECKED_EVERY = 8;
const SECONDS_A_KERNEL_FRAME = 1 / 70;

const same = (a, b) => Buffer.compare(a, b) === 0;

function main()
{
    fs.mkdirSync(scratch, { recursive: true });
    runHostTool(host32, renderFlight, [scratch]);
    const made = readAnimatedPng(path.join(scratch, "flight.png"));
    const kept = readAnimatedPng(path.join(docs, "flight.png"));
    const cameras = fs.readFileSync(path.join(scratch, "flight_cameras.txt"), "utf8").trim().split("\n");

    check(made.frames.length === made.count && made.count === cameras.length && made.count >= 64,
          `${made.frames.length} frames, acTL says ${made.count}, ${cameras.length} cameras`);
    check(made.plays === 0, "the animation does not loop");
    check(made.delays.every(d => d >= SECONDS_A_KERNEL_FRAME && d < 0.2), `delays ${made.delays.slice(0, 3)}`);
    check(kept.width === made.width && kept.height === made.height && same(kept.palette, made.palette) &&
          kept.frames.length === made.frames.length && kept.frames.every((f, i) => same(f, made.frames[i])),
          "docs/flight.png is not what render_flight makes now: run tools/pictures.sh");
    for (let i = 1; i < made.frames.length; i++)
        check(!same(made.frames[i], made.frames[i - 1]), `frame ${i} is frame ${i - 1} again`);
    console.log(`docs/flight.png: ${made.count} frames of ${made.width}x${made.height}, as made now`);

    const shot = path.join(scratch, "camera.png");
    for (let i = 0; i < cameras.length; i += CHECKED_EVERY) {
        runHostTool(host32, renderScene, [...cameras[i].split(" "), "-o", shot]);
        const render = readIndexedPng(shot);
        check(render.width === made.width && render.height === made.height && same(render.palette, made.palette),
              `frame ${i}: render_scene made another size or palette`);
        check(same(render.indices, made.frames[i]), `frame ${i} is not render_scene ${cameras[i]}`);
    }
    console.log(`every ${CHECKED_EVERY}th frame equals render_scene's render of its camera`);

    const still = readIndexedPng(path.join(docs, "flight_still.png"));
    const madeStill = readIndexedPng(path.join(scratch, "flight_still.png"));
    check(same(still.indices, madeStill.indices) && same(still.palette, made.palette),
          "docs/flight_still.png is not what render_flight makes now: run tools/pictures.sh");
    check(made.frames.some(f => same(f, still.indices)), "the still is none of the flight's frames");
    console.log("docs/flight_still.png is one of them");
}

try {
    main();
    console.log("PASS");
} catch (error) {
    console.log(`FAIL: ${error.message}`);
    process.exitCode = 1;
}
