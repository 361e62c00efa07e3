// Reads the indexed PNG files the host tools write (8-bit palette, no
// interlace, filter "none" on every row): width, height, palette, indices.
"use strict";
const fs = require("fs");
const zlib = require("zlib");

function readIndexedPng(file)
{
    const bytes = fs.readFileSync(file);
    let width = 0, height = 0, palette = null;
    const compressed = [];
    for (let at = 8; at + 12 <= bytes.length;) {
        const length = bytes.readUInt32BE(at);
        const type = bytes.toString("latin1", at + 4, at + 8);
        const data = bytes.subarray(at + 8, at + 8 + length);
        if (type === "IHDR") {
            width = data.readUInt32BE(0);
            height = data.readUInt32BE(4);
            if (data[8] !== 8 || data[9] !== 3 || data[12] !== 0)
                throw new Error(`${file}: not an 8-bit indexed PNG without interlace`);
        } else if (type === "PLTE") {
            palette = data;
        } else if (type === "IDAT") {
            compressed.push(data);
        }
        at += 12 + length;
    }
    const raw = zlib.inflateSync(Buffer.concat(compressed));
    if (!palette || raw.length !== (width + 1) * height)
        throw new Error(`${file}: no palette or a picture of the wrong size`);
    const indices = Buffer.alloc(width * height);
    for (let y = 0; y < height; y++) {
        const row = y * (width + 1);
        if (raw[row] !== 0)
            throw new Error(`${file}: row ${y} is filtered`);
        raw.copy(indices, y * width, row + 1, row + 1 + width);
    }
    return { width, height, palette, indices };
}

// The picture as RGB bytes, three a pixel.
function rgbOf(png)
{
    const rgb = Buffer.alloc(png.indices.length * 3);
    png.indices.forEach((index, i) => png.palette.copy(rgb, i * 3, index * 3, index * 3 + 3));
    return rgb;
}

module.exports = { readIndexedPng, rgbOf };
