// Reads the indexed PNG files the host tools write (8-bit palette, no
// interlace, filter "none" on every row): width, height, palette, indices;
// and their animated PNGs, frame by frame.
"use strict";
const fs = require("fs");
const zlib = require("zlib");

// The file's chunks in order, each { type, data }; the CRCs checked.
function chunksOf(file)
{
    const bytes = fs.readFileSync(file);
    if (bytes.toString("latin1", 0, 8) !== "\x89PNG\r\n\x1a\n")
        throw new Error(`${file}: not a PNG file`);
    const chunks = [];
    for (let at = 8; at + 12 <= bytes.length;) {
        const length = bytes.readUInt32BE(at);
        const type = bytes.toString("latin1", at + 4, at + 8);
        const data = bytes.subarray(at + 8, at + 8 + length);
        if (zlib.crc32 && zlib.crc32(bytes.subarray(at + 4, at + 8 + length)) !== bytes.readUInt32BE(at + 8 + length))
            throw new Error(`${file}: bad CRC in ${type}`);
        chunks.push({ type, data });
        at += 12 + length;
    }
    return chunks;
}

function headerOf(file, chunks)
{
    const ihdr = chunks.find(c => c.type === "IHDR");
    const plte = chunks.find(c => c.type === "PLTE");
    if (!ihdr || !plte)
        throw new Error(`${file}: no header or no palette`);
    const d = ihdr.data;
    if (d[8] !== 8 || d[9] !== 3 || d[12] !== 0)
        throw new Error(`${file}: not an 8-bit indexed PNG without interlace`);
    return { width: d.readUInt32BE(0), height: d.readUInt32BE(4), palette: plte.data };
}

// The pixels of a width x height rectangle from its zlib stream.
function unfiltered(file, compressed, width, height)
{
    const raw = zlib.inflateSync(compressed);
    if (raw.length !== (width + 1) * height)
        throw new Error(`${file}: a picture of the wrong size`);
    const indices = Buffer.alloc(width * height);
    for (let y = 0; y < height; y++) {
        const row = y * (width + 1);
        if (raw[row] !== 0)
            throw new Error(`${file}: row ${y} is filtered`);
        raw.copy(indices, y * width, row + 1, row + 1 + width);
    }
    return indices;
}

function readIndexedPng(file)
{
    const chunks = chunksOf(file);
    const { width, height, palette } = headerOf(file, chunks);
    const idat = Buffer.concat(chunks.filter(c => c.type === "IDAT").map(c => c.data));
    return { width, height, palette, indices: unfiltered(file, idat, width, height) };
}

// An animated PNG as the host tools write it: every frame one fcTL and one
// IDAT (the first) or fdAT, each drawn over the one before (dispose none,
// blend source). Returns the header, the frame count and plays of acTL, each
// frame's delay in seconds and the whole picture after each frame.
function readAnimatedPng(file)
{
    const chunks = chunksOf(file);
    const { width, height, palette } = headerOf(file, chunks);
    const actl = chunks.find(c => c.type === "acTL");
    if (!actl)
        throw new Error(`${file}: not animated`);
    const frames = [], delays = [];
    let sequence = 0, control = null;
    const canvas = Buffer.alloc(width * height);
    for (const { type, data } of chunks) {
        if (type !== "fcTL" && type !== "IDAT" && type !== "fdAT")
            continue;
        if (type !== "IDAT" && data.readUInt32BE(0) !== sequence++)
            throw new Error(`${file}: ${type} out of sequence`);
        if (type === "fcTL") {
            control = { w: data.readUInt32BE(4), h: data.readUInt32BE(8), x: data.readUInt32BE(12),
                        y: data.readUInt32BE(16), dispose: data[24], blend: data[25] };
            if (control.x + control.w > width || control.y + control.h > height || control.dispose || control.blend)
                throw new Error(`${file}: a frame outside the picture, or disposed or blended`);
            delays.push(data.readUInt16BE(20) / data.readUInt16BE(22));
            continue;
        }
        if (!control)
            throw new Error(`${file}: image data without its fcTL`);
        const part = unfiltered(file, type === "IDAT" ? data : data.subarray(4), control.w, control.h);
        for (let y = 0; y < control.h; y++)
            part.copy(canvas, (control.y + y) * width + control.x, y * control.w, (y + 1) * control.w);
        frames.push(Buffer.from(canvas));
        control = null;
    }
    return { width, height, palette, count: actl.data.readUInt32BE(0), plays: actl.data.readUInt32BE(4),
             delays, frames };
}

// The picture as RGB bytes, three a pixel.
function rgbOf(png)
{
    const rgb = Buffer.alloc(png.indices.length * 3);
    png.indices.forEach((index, i) => png.palette.copy(rgb, i * 3, index * 3, index * 3 + 3));
    return rgb;
}

module.exports = { readIndexedPng, readAnimatedPng, rgbOf };
