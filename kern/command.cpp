// The command registry. Names are kept only as hashes: a lookup hashes the
// whole typed text and takes the first entry with the same hash.
#include "kern/command.h"
#include "kern/hash.h"
#include "kern/memory.h"
#include "kern/string.h"

namespace kern {

const uint32_t COMMAND_ARRAY_BYTES = COMMAND_CAPACITY * 4;
const uint32_t COMMAND_REGION_BYTES = 3 * COMMAND_ARRAY_BYTES;
const int32_t NOT_FOUND = -1;

struct CommandList {
    uint32_t* hashes;
    CommandHandler* handlers;
    int32_t* uses;
    int32_t count;
};

static CommandList cmdlist;
// Where "Command not found." and the full table's warning go: the console,
// once the start-up says so.
static LineWriter writeLine;

void Command_Reset()
{
    cmdlist = CommandList{};
    writeLine = nullptr;
}

void Command_SetOutput(LineWriter writer) { writeLine = writer; }

static void say(const char* line) { write_line(writeLine, line); }

// The table's region starts wherever the heap stood, at an odd address in
// the running system: entries are moved as bytes, which x86 does as one
// unaligned word.
template <typename T> static T load(const T* p)
{
    T v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

template <typename T> static void store(T* p, T v) { __builtin_memcpy(p, &v, sizeof v); }

static uint32_t name_hash(const char* name)
{
    return CreateHash(name, static_cast<uint32_t>(strlen(name)));
}

void Command_Init()
{
    uint8_t* region = static_cast<uint8_t*>(Mem_AllocRegion(COMMAND_REGION_BYTES, "./kern/command", 28));
    cmdlist = CommandList{};
    if (region != nullptr) {
        cmdlist.hashes = reinterpret_cast<uint32_t*>(region);
        cmdlist.handlers = reinterpret_cast<CommandHandler*>(region + COMMAND_ARRAY_BYTES);
        cmdlist.uses = reinterpret_cast<int32_t*>(region + 2 * COMMAND_ARRAY_BYTES);
    }
}

int32_t Command_Register(const char* name, CommandHandler handler)
{
    // No table (its region was refused) holds no commands at all.
    if (cmdlist.hashes == nullptr || cmdlist.count >= COMMAND_CAPACITY) {
        say("WARNING: COMMAND TABLE FULL. CANNOT REGISTER COMMAND!!!");
        return NOT_FOUND;
    }
    int32_t i = cmdlist.count;
    store(cmdlist.hashes + i, name_hash(name));
    store(cmdlist.handlers + i, handler);
    store(cmdlist.uses + i, 0);
    cmdlist.count = i + 1;
    return i;
}

// The index of the first command with the name's hash (its use counted), or -1.
static int32_t command_lookup(const char* name)
{
    uint32_t h = name_hash(name);
    for (int32_t i = 0; i < cmdlist.count; i++)
        if (load(cmdlist.hashes + i) == h) {
            store(cmdlist.uses + i, load(cmdlist.uses + i) + 1);
            return i;
        }
    return NOT_FOUND;
}

void Command_Fire(const char* name, uint32_t first, uint32_t second)
{
    int32_t i = command_lookup(name);
    if (i == NOT_FOUND) {
        say("Command not found.");
        return;
    }
    load(cmdlist.handlers + i)(first, second);
}

// Commands run only from the console's input line; nothing is queued.
void Command_Exec() {}

int32_t Command_Count() { return cmdlist.count; }

int32_t Command_Uses(int32_t index)
{
    if (index < 0 || index >= cmdlist.count)
        return NOT_FOUND;
    return load(cmdlist.uses + index);
}

} // namespace kern
