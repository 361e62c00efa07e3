// Serves a directory over HTTP on 127.0.0.1: the page must come over HTTP,
// as browsers refuse the emulator's fetches of files opened from disk.
//
//   node serve.js DIRECTORY [PORT]     (PORT 0: any free port)
"use strict";
const fs = require("fs");
const http = require("http");
const path = require("path");

const TYPES = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".wasm": "application/wasm",
};

function serve(directory, port, ready)
{
    const root = path.resolve(directory);
    const server = http.createServer((request, response) => {
        let name = "";
        try {
            name = decodeURIComponent(new URL(request.url, "http://host").pathname);
        } catch (error) {
            // a malformed escape: refused below like a path outside the directory
        }
        const file = path.join(root, name === "/" ? "index.html" : name);
        if (!name || !file.startsWith(root + path.sep)) {
            response.writeHead(403).end();
            return;
        }
        fs.readFile(file, (error, data) => {
            if (error) {
                response.writeHead(404).end();
                return;
            }
            response.writeHead(200, {
                "Content-Type": TYPES[path.extname(file)] || "application/octet-stream",
                "Cache-Control": "no-store",
            });
            response.end(data);
        });
    });
    server.listen(port, "127.0.0.1", () => ready(`http://127.0.0.1:${server.address().port}/`));
    return server;
}

module.exports = { serve };

if (require.main === module) {
    const [directory, port = "8000"] = process.argv.slice(2);
    if (!directory) {
        console.error("usage: node serve.js DIRECTORY [PORT]");
        process.exit(2);
    }
    serve(directory, Number(port), address => console.log(`Serving ${directory} at ${address}`));
}
