// The system in Bochs under Xvfb, checked on its serial line: the loader's
// listing of the volume, then the kernel's start-up lines, then the answer to
// a console command sent to COM1. COM1 is a socket Bochs serves, which carries
// both directions.
//
//   node bochs_test.js BOCHSRC BOCHS_RC DISK_IMAGE KERNEL_FILE TRANSCRIPT_H SCRATCH_DIR [LINE]
//
// LINE: a line the loader writes after its banner, before the geometry (its
// line saying that it reads through the BIOS).
"use strict";
const childProcess = require("child_process");
const fs = require("fs");
const net = require("net");
const path = require("path");

const { startupLines, waitFor } = require(path.join(__dirname, "..", "support", "serial_text.js"));

const [bochsrc, bochsRc, diskImage, kernelFile, transcriptHeader, scratch, afterBanner] =
    process.argv.slice(2);

// Generous: Bochs interprets every instruction, on two cores shared with the suite.
const CONNECT_SECONDS = 60;
const LOADER_SECONDS = 180;
const BOOT_SECONDS = 240;
const ANSWER_SECONDS = 120;
const STOP_SECONDS = 5;

// The lines the loader prints for the image: its banner, the volume's
// geometry from the boot sector, and the kernel's directory entry.
function loaderLines(disk, kernelSize)
{
    const boot = Buffer.alloc(512);
    const fd = fs.openSync(disk, "r");
    fs.readSync(fd, boot, 0, 512, 0);
    fs.closeSync(fd);
    return [
        "Quillon's Rattlebox Bootloader II",
        ...(afterBanner ? [afterBanner] : []),
        "FAT12 Filesystem Info",
        `Reserved Sectors: ${boot.readUInt16LE(14)}`,
        `Sectors Per FAT: ${boot.readUInt16LE(22)}`,
        `Number of FATs: ${boot[16]}`,
        `Max Root Dir Entries: ${boot.readUInt16LE(17)}`,
        "Root Directory Listing:",
        `KRNL.VOX ${kernelSize} <-- KERNEL`,
    ];
}

// Where the last of `lines` ends if they all appear as whole lines of
// `text`, in order; -1 otherwise.
function endOfLines(text, lines)
{
    let at = 0;
    for (const line of lines) {
        const found = ("\n" + text).indexOf("\n" + line + "\n", at);
        if (found < 0)
            return -1;
        at = found + line.length + 1;
    }
    return at;
}

function freePort()
{
    return new Promise(resolve => {
        const probe = net.createServer().listen(0, "127.0.0.1", () => {
            const { port } = probe.address();
            probe.close(() => resolve(port));
        });
    });
}

function startBochs(disk, port)
{
    const out = fs.openSync(path.join(scratch, "bochs.out"), "w");
    const env = {
        ...process.env,
        BOCHS_DISK: disk,
        BOCHS_SERIAL_MODE: "socket-server",
        BOCHS_SERIAL_DEV: `127.0.0.1:${port}`,
        BOCHS_LOG: path.join(scratch, "bochs.log"),
    };
    // A process group of its own: xvfb-run, Xvfb and Bochs end together.
    return childProcess.spawn("xvfb-run", ["-a", "bochs", "-q", "-f", bochsrc, "-rc", bochsRc],
                              { env, detached: true, stdio: ["ignore", out, out] });
}

async function stopBochs(bochs)
{
    if (bochs.exitCode !== null || bochs.signalCode !== null)
        return;
    const exited = new Promise(resolve => bochs.once("exit", resolve));
    process.kill(-bochs.pid, "SIGTERM");
    const timer = setTimeout(() => process.kill(-bochs.pid, "SIGKILL"), STOP_SECONDS * 1000);
    await exited;
    clearTimeout(timer);
}

// Bochs listens once it has read its configuration; until then, retry.
async function connect(port, serial)
{
    let socket = null;
    await waitFor("Bochs to serve COM1", CONNECT_SECONDS, async () => {
        socket = await new Promise(resolve => {
            const s = net.connect(port, "127.0.0.1");
            s.once("connect", () => resolve(s));
            s.once("error", () => resolve(null));
        });
        return socket;
    }, s => s !== null);
    socket.on("data", data => { serial.text += data.toString("latin1").replace(/\r/g, ""); });
    return socket;
}

async function run(bochs, port)
{
    const disk = path.join(scratch, "disk.img");
    const serial = { text: "" };
    const socket = await connect(port, serial);
    const read = () => serial.text;
    try {
        const listing = loaderLines(disk, fs.statSync(kernelFile).size);
        const listed = endOfLines(
            await waitFor("the loader's listing", LOADER_SECONDS, read, t => endOfLines(t, listing) >= 0),
            listing);
        console.log("the loader's listing seen");

        const startup = startupLines(transcriptHeader);
        await waitFor("the kernel's start-up lines after the listing", BOOT_SECONDS, read,
                      t => t.indexOf(startup, listed) >= 0);
        const started = serial.text.indexOf(startup, listed) + startup.length;
        console.log("start-up lines seen");

        socket.write("test\n");
        await waitFor("the answer to `test` sent to COM1", ANSWER_SECONDS, read,
                      t => t.indexOf("Hello!\n", started) >= 0);
        console.log("`test` answered");
    } finally {
        socket.destroy();
    }
}

async function main()
{
    fs.rmSync(scratch, { recursive: true, force: true });
    fs.mkdirSync(scratch, { recursive: true });
    // Bochs writes to the image it runs and locks it: a copy of its own.
    fs.copyFileSync(diskImage, path.join(scratch, "disk.img"));
    const port = await freePort();
    const bochs = startBochs(path.join(scratch, "disk.img"), port);
    try {
        await run(bochs, port);
        console.log("PASS");
    } catch (error) {
        console.log(`FAIL: ${error.message}`);
        console.log(`Bochs's output and log: ${scratch}/bochs.out, ${scratch}/bochs.log`);
        process.exitCode = 1;
    } finally {
        await stopBochs(bochs);
    }
}

main();
