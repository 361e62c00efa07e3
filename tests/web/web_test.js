// The system in the web page, in headless Chromium, the page's folder copied
// elsewhere and served by a plain static server (Python's) under a path of
// its own: the page says what it is and lists the keys and the commands;
// it boots the disk image in v86, turns the demo flight on, so the canvas
// moves with no key pressed, and shows the kernel's frame rate; W ends the
// flight, the home button brings back the host's render of the start
// camera; the console answers `test` typed on the keyboard and sent to COM1
// from the input box. Screenshots at 1280x800 and 800x600 are kept for a
// person to look at, and their layout is checked: the screen, the keys and
// the serial text all in view, none over another.
//
//   node web_test.js PAGE_DIR NODE_MODULES TRANSCRIPT_H RENDER_SCENE SCRATCH_DIR [HOST32_EMULATOR]
"use strict";
const childProcess = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");

const support = path.join(__dirname, "..", "support");
const { startupLines, waitFor } = require(path.join(support, "serial_text.js"));
const { readIndexedPng, rgbOf } = require(path.join(support, "indexed_png.js"));
const { runHostTool, check } = require(path.join(support, "host_tool.js"));

const [pageDir, nodeModules, transcriptHeader, renderScene, scratch, host32 = ""] = process.argv.slice(2);
const puppeteer = require(path.resolve(nodeModules, "puppeteer-core"));

// Generous: the emulator shares two cores with the rest of the suite.
const BOOT_SECONDS = 240;
const FRAME_SECONDS = 120;
const CONSOLE_SECONDS = 60;
const ANSWER_SECONDS = 120;
const RATE_SECONDS = 120;
const TYPING_DELAY_MS = 60;
const BROWSER_SECONDS = 120;   // Chromium's start, the page's load, each call into it
const SERVER_SECONDS = 30;

// The readout's range: v86 shows a frame per refresh of the page (60 Hz).
const RATE_LOW = 50;
const RATE_HIGH = 75;
const SITE_PATH = "demo";      // the folder's place on the static server
const SIZES = [[1280, 800], [800, 600]];

// /dev/shm is small in containers: Chromium keeps its shared memory in /tmp.
const CHROMIUM_ARGS = ["--no-sandbox", "--headless", "--disable-gpu", "--disable-background-networking",
                       "--disable-component-update", "--disable-sync", "--no-first-run",
                       "--disable-dev-shm-usage"];

const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));

function hostRender()
{
    const file = path.join(scratch, "start_camera.png");
    runHostTool(host32, renderScene, ["-o", file]);
    return readIndexedPng(file);
}

// The page's folder copied into the scratch directory and served from
// there by Python's static server, started from yet another directory.
function publish()
{
    const site = path.join(scratch, "site");
    fs.rmSync(site, { recursive: true, force: true });
    fs.cpSync(pageDir, path.join(site, SITE_PATH), { recursive: true });
    const child = childProcess.spawn("python3", ["-u", "-m", "http.server", "--bind", "127.0.0.1",
                                                 "--directory", site, "0"],
                                     { cwd: os.tmpdir(), stdio: ["ignore", "pipe", "ignore"] });
    return new Promise((resolve, reject) => {
        let said = "";
        const timer = setTimeout(() => reject(new Error(`no address from http.server: ${said}`)),
                                 SERVER_SECONDS * 1000);
        child.stdout.on("data", data => {
            said += data;
            const port = said.match(/port (\d+)/);
            if (port) {
                clearTimeout(timer);
                resolve({ child, address: `http://127.0.0.1:${port[1]}/${SITE_PATH}/` });
            }
        });
        child.on("exit", code => reject(new Error(`http.server ended (${code}): ${said}`)));
    });
}

const textOf = (page, selector) => page.$eval(selector, e => e.textContent);

// Canvas pixels whose 6-bit DAC colour differs from the expected RGB (each
// emulator widens the DAC's 6 bits to 8 its own way).
function differingPixels(page, expected)
{
    return page.$eval("#screen canvas", (canvas, base64) => {
        const want = Uint8Array.from(atob(base64), c => c.charCodeAt(0));
        if (canvas.width * canvas.height * 3 !== want.length)
            return `canvas ${canvas.width}x${canvas.height}`;
        const got = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
        let n = 0;
        for (let i = 0, j = 0; j < want.length; i += 4, j += 3)
            n += (got[i] >> 2 !== want[j] >> 2) || (got[i + 1] >> 2 !== want[j + 1] >> 2) ||
                 (got[i + 2] >> 2 !== want[j + 2] >> 2);
        return n;
    }, expected.toString("base64"));
}

// What the canvas shows now, as text to compare.
const canvasNow = page => page.$eval("#screen canvas", canvas =>
    canvas.toDataURL("image/png"));

async function pageSaysWhatItIs(page)
{
    const about = await textOf(page, "#about");
    check(/bare-metal/.test(about) && /emulated/.test(about), `no description: "${about}"`);
    const keys = await page.$$eval("#keys kbd", list => list.map(e => e.textContent));
    for (const key of ["W", "S", "A", "D", "Q", "E", "I", "K", "J", "L", "`", "Esc"])
        check(keys.includes(key), `key ${key} not listed: ${keys}`);
    const commands = await textOf(page, "#commands");
    for (const command of ["orbit", "home", "fps", "cull", "model", "view", "perspective", "meminfo", "memregion",
                           "clear", "help", "test"])
        check(commands.includes(command), `command ${command} not listed`);
    for (const command of ["home", "orbit", "cull", "model", "view", "perspective"])
        check(await page.$(`#buttons button[data-command="${command}"]`), `no button for ${command}`);
    console.log("the page describes itself and lists the keys and the commands");
}

// Readings of the frame rate until one lies in range; every reading is a
// whole number no higher than the range (a rate computed wrong is far
// off), and the count of frames shown beside it grows.
async function frameRateIsShown(page)
{
    const firstCount = Number(await textOf(page, "#frames"));
    const seen = [];
    await waitFor(`a frame rate between ${RATE_LOW} and ${RATE_HIGH}`, RATE_SECONDS, async () => {
        const text = await textOf(page, "#fps");
        if (seen[seen.length - 1] !== text)
            seen.push(text);
        return text;
    }, text => {
        const rate = Number(text);
        check(text === "-" || (Number.isInteger(rate) && rate >= 0 && rate <= RATE_HIGH),
              `a frame rate of "${text}"; seen ${seen.join(", ")}`);
        return rate >= RATE_LOW;
    });
    await sleep(2000);
    const count = Number(await textOf(page, "#frames"));
    check(count > firstCount, `frames shown did not grow: ${firstCount}, then ${count}`);
    console.log(`frame rates shown: ${seen.join(", ")}; frames shown ${firstCount}, then ${count}`);
}

// The screen, the keys and the serial text inside the window and apart;
// the canvas a whole number of device pixels per machine pixel, sharp.
async function checkLayout(page, width, height)
{
    await page.setViewport({ width, height });
    await sleep(1000);
    const shot = path.join(scratch, `page_${width}x${height}.png`);
    await page.screenshot({ path: shot });
    const l = await page.evaluate(() => {
        const box = selector => {
            const r = document.querySelector(selector).getBoundingClientRect();
            return { left: r.left, top: r.top, right: r.right, bottom: r.bottom };
        };
        const canvas = document.querySelector("#screen canvas");
        return { screen: box("#screen"), keys: box("#keys"), serial: box("#serial"), canvas: box("#screen canvas"),
                 width: innerWidth, height: innerHeight, ratio: devicePixelRatio,
                 rendering: getComputedStyle(canvas).imageRendering };
    });
    const parts = ["screen", "keys", "serial"];
    for (const name of parts) {
        const b = l[name];
        check(b.left >= 0 && b.top >= 0 && b.right <= l.width && b.bottom <= l.height && b.bottom - b.top >= 40,
              `${width}x${height}: the ${name} is not all in view: ${JSON.stringify(b)}`);
    }
    for (let i = 0; i < parts.length; i++)
        for (let j = i + 1; j < parts.length; j++) {
            const a = l[parts[i]], b = l[parts[j]];
            check(a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top,
                  `${width}x${height}: the ${parts[i]} and the ${parts[j]} overlap`);
        }
    const scale = (l.canvas.right - l.canvas.left) * l.ratio / 320;
    check(Number.isInteger(scale) && scale >= 2 && (l.canvas.bottom - l.canvas.top) * l.ratio === 200 * scale,
          `${width}x${height}: the screen is not scaled by whole pixels: ${JSON.stringify(l.canvas)}`);
    check(l.rendering === "pixelated", `${width}x${height}: the screen is drawn smoothed (${l.rendering})`);
    console.log(`${width}x${height}: screen x${scale}, keys and serial text in view, apart; ${shot}`);
}

async function run(page, address, failedRequests)
{
    const startup = startupLines(transcriptHeader);
    const expected = rgbOf(hostRender());

    await page.setViewport({ width: SIZES[0][0], height: SIZES[0][1] });
    await page.goto(address);
    await pageSaysWhatItIs(page);
    const booted = await waitFor("the kernel's start-up lines", BOOT_SECONDS,
                                 () => textOf(page, "#serial"), text => text.includes(startup));
    const afterStartup = booted.indexOf(startup) + startup.length;
    console.log("start-up lines seen");
    const flying = await waitFor("the page to turn the demo flight on", ANSWER_SECONDS,
                                 () => textOf(page, "#serial"),
                                 text => text.indexOf("Camera orbit ENABLED\n", afterStartup) >= 0);
    const afterFlight = flying.indexOf("Camera orbit ENABLED\n", afterStartup);

    await frameRateIsShown(page);
    const before = await canvasNow(page);
    await sleep(1000);
    check(await canvasNow(page) !== before, "the canvas did not change in a second of the demo flight");
    console.log("the canvas moves with no key pressed");

    for (const [width, height] of SIZES)
        await checkLayout(page, width, height);

    // W held until the flight has ended, then the picture stands still.
    await page.click("#screen");
    await page.keyboard.down("KeyW");
    const stopped = await waitFor("W to end the demo flight", ANSWER_SECONDS, () => textOf(page, "#serial"),
                                  text => text.indexOf("Camera orbit DISABLED\n", afterFlight) >= 0);
    await page.keyboard.up("KeyW");
    // The frame loop's line took the serial prompt off first (a carriage
    // return and ESC [ K): the pane shows the line alone.
    check(stopped.includes("\nCamera orbit DISABLED\n") && !stopped.includes("\x1b"),
          `the serial text shows the terminal's control bytes: ${JSON.stringify(stopped.slice(afterFlight))}`);
    await sleep(500);
    const still = await canvasNow(page);
    await sleep(1000);
    check(await canvasNow(page) === still, "the canvas still moves after W");
    console.log("W ended the flight");

    await page.click('#buttons button[data-command="home"]');
    await waitFor("the home button to bring back the host's frame of the start camera (differing pixels)",
                  FRAME_SECONDS, () => differingPixels(page, expected), n => n === 0);
    console.log("the home button gives the host's render of the start camera");

    // The key is held until the console shows, so a slow frame cannot miss it.
    await page.click("#screen");
    await page.keyboard.down("Backquote");
    await waitFor("the console to open (differing pixels)", CONSOLE_SECONDS,
                  () => differingPixels(page, expected), n => n > 0);
    await page.keyboard.up("Backquote");
    await page.keyboard.type("test", { delay: TYPING_DELAY_MS });
    await page.keyboard.press("Enter");
    const afterStop = stopped.indexOf("Camera orbit DISABLED\n", afterFlight);
    const answered = await waitFor("the answer to `test` typed on the keyboard", ANSWER_SECONDS,
                                   () => textOf(page, "#serial"), text => text.indexOf("Hello!\n", afterStop) >= 0);
    console.log("`test` on the keyboard answered");

    const afterKeyboard = answered.indexOf("Hello!\n", afterStop) + "Hello!\n".length;
    await page.type("#line", "test");
    await page.keyboard.press("Enter");
    await waitFor("the answer to `test` sent from the input box to COM1", ANSWER_SECONDS,
                  () => textOf(page, "#serial"), text => text.indexOf("Hello!\n", afterKeyboard) >= 0);
    console.log("`test` on COM1 answered");

    check(failedRequests.length === 0, `requests that failed: ${failedRequests.join(", ")}`);
    console.log("every request of the page was answered");
}

async function main()
{
    fs.mkdirSync(scratch, { recursive: true });
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), "web-test-chromium-"));
    let server, browser, page;
    try {
        server = await publish();
        browser = await puppeteer.launch({
            executablePath: "/usr/bin/chromium",
            args: [...CHROMIUM_ARGS, `--user-data-dir=${profile}`],
            timeout: BROWSER_SECONDS * 1000,
            protocolTimeout: BROWSER_SECONDS * 1000,
        });
        page = await browser.newPage();
        page.setDefaultTimeout(BROWSER_SECONDS * 1000);
        page.on("pageerror", error => console.log(`page error: ${error.message}`));
        const failedRequests = [];
        page.on("response", response => {
            if (response.status() >= 400)
                failedRequests.push(`${response.status()} ${response.url()}`);
        });
        page.on("requestfailed", request => failedRequests.push(`${request.failure().errorText} ${request.url()}`));
        await run(page, server.address, failedRequests);
        console.log("PASS");
    } catch (error) {
        console.log(`FAIL: ${error.message}`);
        if (page) {
            const shot = path.join(scratch, "failure.png");
            await page.screenshot({ path: shot }).catch(() => {});
            console.log(`page at the failure: ${shot}`);
        }
        process.exitCode = 1;
    } finally {
        if (browser)
            await browser.close().catch(() => {});
        if (server)
            server.child.kill();
        fs.rmSync(profile, { recursive: true, force: true });
    }
}

main();
