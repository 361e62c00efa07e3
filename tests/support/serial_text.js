// Shared by the tests that run the system in other emulators (node): the
// kernel's start-up transcript, read from the C++ header the QEMU tests use,
// and waiting with a deadline that fails with what was seen.
"use strict";
const fs = require("fs");

// The string literals of STARTUP_LINES in transcript.h, joined.
function startupLines(headerPath)
{
    const header = fs.readFileSync(headerPath, "utf8");
    const body = header.slice(header.indexOf("STARTUP_LINES"));
    const literals = body.slice(0, body.indexOf(";")).match(/"(?:[^"\\]|\\.)*"/g) || [];
    const text = literals.map(s => JSON.parse(s)).join("");
    if (!text.endsWith("\n"))
        throw new Error(`no start-up lines found in ${headerPath}`);
    return text;
}

// Polls read() until found(value) holds or the deadline passes; a timeout
// throws with the step's name and the last value seen.
async function waitFor(what, seconds, read, found)
{
    const deadline = Date.now() + seconds * 1000;
    let value;
    for (;;) {
        value = await read();
        if (found(value))
            return value;
        if (Date.now() > deadline)
            throw new Error(`timed out after ${seconds} s waiting for ${what}; last seen:\n${value}`);
        await new Promise(resolve => setTimeout(resolve, 250));
    }
}

module.exports = { startupLines, waitFor };
