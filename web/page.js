// Boots the system's disk image in v86: the VGA screen in the page, the
// keyboard to the machine, the first serial port shown as text and fed from
// the input line.
"use strict";

const MEMORY_BYTES = 64 * 1024 * 1024;

const serial = document.getElementById("serial");
const status = document.getElementById("status");
const screen = document.getElementById("screen");

const emulator = new V86({
    wasm_path: "v86.wasm",
    memory_size: MEMORY_BYTES,
    bios: { url: "bios.bin" },
    vga_bios: { url: "vgabios-stdvga.bin" },
    hda: { url: "disk.img", async: false },
    screen: { container: screen, scaling: 2 },
    disable_mouse: true,
    disable_speaker: true,
    autostart: true,
});
window.emulator = emulator;

// Bytes arrive one at a time; the text node is updated once per frame.
let pending = "";
emulator.add_listener("serial0-output-byte", byte => {
    if (byte === 13)
        return;
    if (pending === "")
        requestAnimationFrame(flushSerial);
    pending += String.fromCharCode(byte);
});

function flushSerial()
{
    const atBottom = serial.scrollTop + serial.clientHeight >= serial.scrollHeight - 2;
    serial.append(pending);
    pending = "";
    if (atBottom)
        serial.scrollTop = serial.scrollHeight;
}

emulator.add_listener("emulator-started", () => {
    status.textContent = "Running. Click the screen to give it the keyboard.";
});

// The keyboard goes to the machine unless the input line has the focus.
screen.addEventListener("click", () => document.activeElement.blur());

document.getElementById("send").addEventListener("submit", event => {
    event.preventDefault();
    const line = document.getElementById("line");
    emulator.serial0_send(line.value + "\n");
    line.value = "";
});
