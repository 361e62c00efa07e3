// Boots the system's disk image in v86: the VGA screen in the page, scaled by
// whole pixels; the keyboard to the machine; the first serial port shown as
// text and fed from the input line and the command buttons; the kernel's
// own count of frames read from its memory once a second; and, once the
// kernel is up, its demo flight turned on.
"use strict";

const MEMORY_BYTES = 64 * 1024 * 1024;
const SCREEN_WIDTH = 320;           // the kernel's mode 13h
const SCREEN_HEIGHT = 200;
const TEXT_COLUMNS = 80;            // the loader's text screen
const TEXT_ROWS = 25;
const MONOSPACE_WIDTH = 0.6;        // a monospace glyph's width, per unit of font size
const SIDE_MIN = 130;               // px the keys and commands need beside the screen
const CONSOLE_MIN = 96;             // px the serial text and its input line need below it
const RATE_MS = 1000;
// The last line of the kernel's start-up: from here on it takes commands.
const READY_LINE = "Also 8MiB of allocable memory after the stack!\n";

const root = document.documentElement;
const serial = document.getElementById("serial");
const status = document.getElementById("status");
const screen = document.getElementById("screen");

const emulator = new V86({
    wasm_path: "v86.wasm",
    memory_size: MEMORY_BYTES,
    bios: { url: "bios.bin" },
    vga_bios: { url: "vgabios-stdvga.bin" },
    hda: { url: "disk.img", async: false },
    screen: { container: screen, scale: 1 },
    disable_mouse: true,
    disable_speaker: true,
    autostart: true,
});
window.emulator = emulator;

// The largest whole number of device pixels per machine pixel that leaves
// room for the keys beside the screen and the serial text below it.
function fitScreen()
{
    const ratio = window.devicePixelRatio || 1;
    const gap = parseFloat(getComputedStyle(root).getPropertyValue("--gap"));
    const header = document.querySelector("header").offsetHeight;
    const width = window.innerWidth - SIDE_MIN - 3 * gap;
    const height = window.innerHeight - header - CONSOLE_MIN - 2 * gap;
    const scale = Math.max(1, Math.floor(Math.min(width / SCREEN_WIDTH, height / SCREEN_HEIGHT) * ratio));
    const w = SCREEN_WIDTH * scale / ratio, h = SCREEN_HEIGHT * scale / ratio;
    root.style.setProperty("--screen-w", `${w}px`);
    root.style.setProperty("--screen-h", `${h}px`);
    const text = Math.floor(Math.min(h / TEXT_ROWS, w / (TEXT_COLUMNS * MONOSPACE_WIDTH)));
    root.style.setProperty("--text-size", `${text}px`);
}
fitScreen();
window.addEventListener("resize", fitScreen);

function send(line)
{
    emulator.serial0_send(line + "\n");
}

// The serial text is a terminal of one line being written: the kernel
// echoes typed characters, erases with backspaces and takes its prompt off
// with a carriage return and "erase to the end of the line" (ESC [ K).
// Whole lines go into the pane as text; the line being written is the span
// after them. Both are updated once per frame of the page.
const serialLine = document.createElement("span");
serial.append(serialLine);
const terminal = { done: "", line: "", column: 0, escape: null };

function terminalByte(c)
{
    const t = terminal;
    if (t.escape !== null) {
        t.escape += c;
        if (t.escape === "[" || /^\[[0-9;]*$/.test(t.escape))
            return;   // a control sequence goes on until its final byte
        if (t.escape === "[K" || t.escape === "[0K")
            t.line = t.line.slice(0, t.column);
        t.escape = null;
        return;
    }
    if (c === "\x1b") {
        t.escape = "";
    } else if (c === "\n") {
        t.done += t.line + "\n";
        t.line = "";
        t.column = 0;
    } else if (c === "\r") {
        t.column = 0;
    } else if (c === "\b") {
        t.column = Math.max(0, t.column - 1);
    } else {
        t.line = t.line.slice(0, t.column).padEnd(t.column) + c + t.line.slice(t.column + 1);
        t.column++;
    }
}

let flushing = false;
let recent = "";
let kernelUp = false;
emulator.add_listener("serial0-output-byte", byte => {
    const c = String.fromCharCode(byte);
    terminalByte(c);
    if (!flushing) {
        flushing = true;
        requestAnimationFrame(flushSerial);
    }
    if (!kernelUp) {
        recent = (recent + c).slice(-READY_LINE.length);
        if (recent === READY_LINE)
            kernelStarted();
    }
});

function flushSerial()
{
    flushing = false;
    const atBottom = serial.scrollTop + serial.clientHeight >= serial.scrollHeight - 2;
    if (terminal.done !== "") {
        serialLine.before(terminal.done);
        terminal.done = "";
    }
    serialLine.textContent = terminal.line;
    if (atBottom)
        serial.scrollTop = serial.scrollHeight;
}

function kernelStarted()
{
    kernelUp = true;
    send("orbit");
    status.textContent = "Running: the demo flight circles the cube until a camera key takes over.";
    showRate();
    setInterval(showRate, RATE_MS);
}

emulator.add_listener("emulator-started", () => {
    status.textContent = "Booting: the BIOS, then the system's loader, then its kernel...";
});

// Frames a second of the page's clock, from the kernel's count of frames
// shown (one every retrace wait), read from the machine's memory.
const fps = document.getElementById("fps");
const frames = document.getElementById("frames");
let lastCount = null, lastTime = 0;

function showRate()
{
    const b = emulator.read_memory(FRAMES_SHOWN_ADDRESS, 4);
    const count = (b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24) >>> 0;
    const now = performance.now();
    if (lastCount !== null && now > lastTime)
        fps.textContent = Math.round(((count - lastCount) >>> 0) * 1000 / (now - lastTime));
    frames.textContent = count;
    lastCount = count;
    lastTime = now;
}

// The keyboard goes to the machine unless the input line has the focus.
screen.addEventListener("click", () => document.activeElement.blur());

for (const button of document.querySelectorAll("#buttons button")) {
    button.addEventListener("click", () => {
        send(button.dataset.command);
        button.blur();
    });
}

document.getElementById("send").addEventListener("submit", event => {
    event.preventDefault();
    const line = document.getElementById("line");
    send(line.value);
    line.value = "";
});
