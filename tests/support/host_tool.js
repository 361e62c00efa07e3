// Shared by the node tests that compare with the host programs' output:
// running a host program (through the build's emulator for 32-bit programs
// when it names one), and a check that fails with what went wrong.
"use strict";
const childProcess = require("child_process");

// Runs program with args, its output going to the test's; throws if it fails.
function runHostTool(host32, program, args)
{
    const command = host32 ? [host32, program, ...args] : [program, ...args];
    const result = childProcess.spawnSync(command[0], command.slice(1), { stdio: "inherit" });
    if (result.status !== 0)
        throw new Error(`${command.join(" ")} failed`);
}

function check(condition, what)
{
    if (!condition)
        throw new Error(what);
}

module.exports = { runHostTool, check };
