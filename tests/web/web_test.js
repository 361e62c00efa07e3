// The system in the web page, in headless Chromium: the page boots the disk
// image in v86, the serial text shows the kernel's start-up lines, the canvas
// shows the host's render of the start camera, and the console answers `test`
// with "Hello!", typed on the keyboard and sent to COM1 from the input box.
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
const { serve } = require(path.join(__dirname, "..", "..", "web", "serve.js"));

const [pageDir, nodeModules, transcriptHeader, renderScene, scratch, host32 = ""] = process.argv.slice(2);
const puppeteer = require(path.resolve(nodeModules, "puppeteer-core"));

// Generous: the emulator shares two cores with the rest of the suite.
const BOOT_SECONDS = 240;
const FRAME_SECONDS = 120;
const CONSOLE_SECONDS = 60;
const ANSWER_SECONDS = 120;
const TYPING_DELAY_MS = 60;

const BROWSER_SECONDS = 120;   // Chromium's start, the page's load, each call into it

// /dev/shm is small in containers: Chromium keeps its shared memory in /tmp.
const CHROMIUM_ARGS = ["--no-sandbox", "--headless", "--disable-gpu", "--disable-background-networking",
                       "--disable-component-update", "--disable-sync", "--no-first-run",
                       "--disable-dev-shm-usage"];

function hostRender()
{
    const file = path.join(scratch, "start_camera.png");
    const command = host32 ? [host32, renderScene] : [renderScene];
    const run = childProcess.spawnSync(command[0], [...command.slice(1), "-o", file], { stdio: "inherit" });
    if (run.status !== 0)
        throw new Error(`${command.join(" ")} failed`);
    return readIndexedPng(file);
}

const serialText = page => page.$eval("#serial", e => e.textContent);

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

async function run(page, address)
{
    const startup = startupLines(transcriptHeader);
    const expected = rgbOf(hostRender());

    await page.goto(address);
    const booted = await waitFor("the kernel's start-up lines", BOOT_SECONDS,
                                 () => serialText(page), text => text.includes(startup));
    const afterStartup = booted.indexOf(startup) + startup.length;
    console.log("start-up lines seen");

    await waitFor("the canvas to show the host's frame of the start camera (differing pixels)",
                  FRAME_SECONDS, () => differingPixels(page, expected), n => n === 0);
    console.log("the canvas equals the host's render");

    // The key is held until the console shows, so a slow frame cannot miss it.
    await page.click("#screen");
    await page.keyboard.down("Backquote");
    await waitFor("the console to open (differing pixels)", CONSOLE_SECONDS,
                  () => differingPixels(page, expected), n => n > 0);
    await page.keyboard.up("Backquote");
    await page.keyboard.type("test", { delay: TYPING_DELAY_MS });
    await page.keyboard.press("Enter");
    const answered = await waitFor("the answer to `test` typed on the keyboard", ANSWER_SECONDS,
                                   () => serialText(page), text => text.indexOf("Hello!\n", afterStartup) >= 0);
    console.log("`test` on the keyboard answered");

    const afterKeyboard = answered.indexOf("Hello!\n", afterStartup) + "Hello!\n".length;
    await page.type("#line", "test");
    await page.keyboard.press("Enter");
    await waitFor("the answer to `test` sent from the input box to COM1", ANSWER_SECONDS,
                  () => serialText(page), text => text.indexOf("Hello!\n", afterKeyboard) >= 0);
    console.log("`test` on COM1 answered");
}

async function main()
{
    fs.mkdirSync(scratch, { recursive: true });
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), "web-test-chromium-"));
    let server, browser, page;
    try {
        const address = await new Promise(resolve => { server = serve(pageDir, 0, resolve); });
        browser = await puppeteer.launch({
            executablePath: "/usr/bin/chromium",
            args: [...CHROMIUM_ARGS, `--user-data-dir=${profile}`],
            timeout: BROWSER_SECONDS * 1000,
            protocolTimeout: BROWSER_SECONDS * 1000,
        });
        page = await browser.newPage();
        page.setDefaultTimeout(BROWSER_SECONDS * 1000);
        page.on("pageerror", error => console.log(`page error: ${error.message}`));
        await run(page, address);
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
            server.close();
        fs.rmSync(profile, { recursive: true, force: true });
    }
}

main();
