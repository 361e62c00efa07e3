#include "qemu.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace qemu {
namespace {

using Clock = std::chrono::steady_clock;

std::map<int, std::string> pending;   // bytes read past the last line, per socket

double since(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

int connect_unix(const std::string& path, double seconds)
{
    Clock::time_point t0 = Clock::now();
    for (;;) {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr = {};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
            return fd;
        close(fd);
        if (since(t0) > seconds)
            throw std::runtime_error("cannot connect to " + path);
        sleep_ms(10);
    }
}

void send_all(int fd, const std::string& s)
{
    size_t at = 0;
    while (at < s.size()) {
        ssize_t n = send(fd, s.data() + at, s.size() - at, MSG_NOSIGNAL);
        if (n <= 0)
            throw std::runtime_error("socket write failed");
        at += static_cast<size_t>(n);
    }
}

// One byte, or -1 after `seconds` without one.
int read_byte(int fd, double seconds)
{
    std::string& buf = pending[fd];
    if (buf.empty()) {
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(seconds * 1000)) <= 0)
            return -1;
        char chunk[4096];
        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            throw std::runtime_error("socket closed");
        buf.assign(chunk, static_cast<size_t>(n));
    }
    int c = static_cast<unsigned char>(buf[0]);
    buf.erase(0, 1);
    return c;
}

std::string read_line(int fd, double seconds)
{
    std::string line;
    for (;;) {
        int c = read_byte(fd, seconds);
        if (c < 0)
            throw std::runtime_error("timed out waiting for QMP");
        if (c == '\n')
            return line;
        line.push_back(static_cast<char>(c));
    }
}

std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// gdb remote protocol: $data#checksum, each side acknowledging with '+'.
void gdb_send(Machine& m, const std::string& data)
{
    unsigned sum = 0;
    for (char c : data)
        sum += static_cast<unsigned char>(c);
    char tail[4];
    std::snprintf(tail, sizeof tail, "#%02x", sum & 0xFF);
    send_all(m.gdb, "$" + data + tail);
}

// The next packet, or false on timeout.
bool gdb_receive(Machine& m, std::string& data, double seconds)
{
    int c;
    do {
        c = read_byte(m.gdb, seconds);
        if (c < 0)
            return false;
    } while (c != '$');
    data.clear();
    while ((c = read_byte(m.gdb, 5)) != '#') {
        if (c < 0)
            throw std::runtime_error("truncated gdb packet");
        data.push_back(static_cast<char>(c));
    }
    read_byte(m.gdb, 5);
    read_byte(m.gdb, 5);
    send_all(m.gdb, "+");
    return true;
}

std::string gdb_command(Machine& m, const std::string& command)
{
    gdb_send(m, command);
    std::string reply;
    if (!gdb_receive(m, reply, 10))
        throw std::runtime_error("gdb stub did not answer " + command);
    return reply;
}

std::string hex32(uint32_t v)
{
    char b[12];
    std::snprintf(b, sizeof b, "%x", v);
    return b;
}

} // namespace

// The machine's arguments as tools/qemu_args.sh gives them, one a line.
static std::vector<std::string> machine_args(const std::string& disk, const std::string& clock,
                                             const std::string& medium)
{
    std::string command = std::string(QEMU_ARGS) + " '" + disk + "' " + clock + " " + medium;
    FILE* out = popen(command.c_str(), "r");
    if (!out)
        throw std::runtime_error("cannot run " + command);
    std::vector<std::string> args;
    std::string arg;
    for (int c; (c = std::fgetc(out)) != EOF;) {
        if (c != '\n') {
            arg.push_back(static_cast<char>(c));
            continue;
        }
        args.push_back(arg);
        arg.clear();
    }
    if (pclose(out) != 0 || args.empty())
        throw std::runtime_error(command + " failed");
    return args;
}

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

Machine start(const Options& options)
{
    Machine m;
    char tmpl[] = SYSTEM_SCRATCH_DIR "/qemu.XXXXXX";
    if (system("mkdir -p " SYSTEM_SCRATCH_DIR) != 0 || !mkdtemp(tmpl))
        throw std::runtime_error("cannot make a scratch directory");
    m.dir = tmpl;
    m.serial_path = m.dir + "/serial.txt";
    // Instruction-counted virtual time: the same frames on every run.
    std::vector<std::string> args = {"qemu-system-i386", "-display", "none"};
    std::vector<std::string> machine = machine_args(options.disk, "icount", options.medium);
    args.insert(args.end(), machine.begin(), machine.end());
    args.insert(args.end(), {"-qmp", "unix:" + m.dir + "/qmp.sock,server=on,wait=off"});
    // Typing goes through a pair of FIFOs (QEMU opens both ends itself); the
    // chardev's log file holds what the guest sends. A socket would not do
    // unread: each byte the UART sends is a message of its own there, and
    // the sender's buffer fills after a few hundred of them.
    if (options.serial_input) {
        std::string fifo = m.dir + "/serial";
        if (mkfifo((fifo + ".in").c_str(), 0600) != 0 || mkfifo((fifo + ".out").c_str(), 0600) != 0)
            throw std::runtime_error("cannot make the serial line's FIFOs");
        args.insert(args.end(), {"-chardev", "pipe,id=com1,path=" + fifo + ",logfile=" + m.serial_path,
                                 "-serial", "chardev:com1"});
    } else {
        args.insert(args.end(), {"-serial", "file:" + m.serial_path});
    }
    if (options.paused) {
        args.insert(args.end(), {"-S", "-chardev",
                                 "socket,id=gdb0,path=" + m.dir + "/gdb.sock,server=on,wait=off",
                                 "-gdb", "chardev:gdb0"});
    }
    args.insert(args.end(), options.extra.begin(), options.extra.end());

    m.pid = fork();
    if (m.pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);   // never outlive a test that failed midway
        int log = open((m.dir + "/qemu.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(log, 1);
        dup2(log, 2);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    m.qmp = connect_unix(m.dir + "/qmp.sock", 10);
    read_line(m.qmp, 10);   // greeting
    qmp(m, "qmp_capabilities");
    if (options.paused)
        m.gdb = connect_unix(m.dir + "/gdb.sock", 10);
    if (options.serial_input)   // QEMU holds the reading end open: this does not wait
        m.serial_in = open((m.dir + "/serial.in").c_str(), O_WRONLY | O_CLOEXEC);
    return m;
}

bool running(Machine& m)
{
    return m.pid > 0 && waitpid(m.pid, nullptr, WNOHANG) == 0;
}

void stop(Machine& m)
{
    if (m.pid > 0) {
        try {
            qmp(m, "quit");
        } catch (const std::exception&) {
        }
        Clock::time_point t0 = Clock::now();
        while (waitpid(m.pid, nullptr, WNOHANG) == 0) {
            if (since(t0) > 5) {
                kill(m.pid, SIGKILL);
                waitpid(m.pid, nullptr, 0);
                break;
            }
            sleep_ms(10);
        }
        m.pid = -1;
    }
    for (int* fd : {&m.qmp, &m.gdb, &m.serial_in})
        if (*fd >= 0) {
            pending.erase(*fd);
            close(*fd);
            *fd = -1;
        }
    if (!m.dir.empty() && !getenv("KEEP_QEMU_FILES"))
        (void)system(("rm -rf '" + m.dir + "'").c_str());
}

nlohmann::json qmp(Machine& m, const std::string& command, const nlohmann::json& arguments)
{
    nlohmann::json request = {{"execute", command}};
    if (!arguments.empty())
        request["arguments"] = arguments;
    send_all(m.qmp, request.dump() + "\n");
    for (;;) {
        nlohmann::json reply = nlohmann::json::parse(read_line(m.qmp, 30));
        if (reply.contains("return"))
            return reply["return"];
        if (reply.contains("error"))
            throw std::runtime_error(command + ": " + reply["error"].dump());
        // anything else is an asynchronous event
    }
}

std::string hmp(Machine& m, const std::string& command_line)
{
    return qmp(m, "human-monitor-command", {{"command-line", command_line}}).get<std::string>();
}

std::string serial(Machine& m) { return read_text(m.serial_path); }

void serial_send(Machine& m, const std::string& bytes)
{
    if (m.serial_in < 0)
        throw std::runtime_error("the machine has no serial input");
    if (write(m.serial_in, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("serial line write failed");
}

bool wait_serial(Machine& m, const std::string& text, double seconds)
{
    Clock::time_point t0 = Clock::now();
    while (serial(m).find(text) == std::string::npos) {
        if (since(t0) > seconds)
            return false;
        sleep_ms(20);
    }
    return true;
}

Cpu cpu(Machine& m)
{
    std::string regs = hmp(m, "info registers");
    Cpu c;
    size_t eip = regs.find("EIP=");
    size_t esp = regs.find("ESP=");
    size_t hlt = regs.find("HLT=");
    if (eip == std::string::npos || esp == std::string::npos || hlt == std::string::npos)
        throw std::runtime_error("unexpected info registers: " + regs);
    c.eip = static_cast<uint32_t>(std::stoul(regs.substr(eip + 4, 8), nullptr, 16));
    c.esp = static_cast<uint32_t>(std::stoul(regs.substr(esp + 4, 8), nullptr, 16));
    c.halted = regs[hlt + 4] == '1';
    return c;
}

bool wait_halted(Machine& m, double seconds)
{
    Clock::time_point t0 = Clock::now();
    while (!cpu(m).halted) {
        if (since(t0) > seconds)
            return false;
        sleep_ms(20);
    }
    return true;
}

static Bytes memory_dump(Machine& m, const char* command, uint32_t address, uint32_t size)
{
    static int serial_no = 0;
    std::string path = m.dir + "/mem" + std::to_string(serial_no++) + ".bin";
    qmp(m, command, {{"val", address}, {"size", size}, {"filename", path}});
    std::string s = read_text(path);
    return Bytes(s.begin(), s.end());
}

Bytes physical_memory(Machine& m, uint32_t address, uint32_t size)
{
    return memory_dump(m, "pmemsave", address, size);
}

Bytes virtual_memory(Machine& m, uint32_t address, uint32_t size)
{
    return memory_dump(m, "memsave", address, size);
}

Screen screendump(Machine& m)
{
    std::string path = m.dir + "/screen.ppm";
    qmp(m, "screendump", {{"filename", path}});
    std::string ppm = read_text(path);
    std::istringstream in(ppm);
    std::string magic;
    int maxval = 0;
    Screen s;
    in >> magic >> s.width >> s.height >> maxval;
    in.get();
    if (magic != "P6" || maxval != 255)
        throw std::runtime_error("unexpected screendump format");
    size_t n = static_cast<size_t>(s.width) * s.height * 3;
    s.rgb.assign(ppm.end() - static_cast<long>(n), ppm.end());
    return s;
}

static nlohmann::json key_event(const std::string& qcode, bool down)
{
    return {{"type", "key"}, {"data", {{"down", down}, {"key", {{"type", "qcode"}, {"data", qcode}}}}}};
}

void key(Machine& m, const std::string& qcode, bool down)
{
    qmp(m, "input-send-event", {{"events", nlohmann::json::array({key_event(qcode, down)})}});
}

void tap_at_once(Machine& m, const std::string& qcode)
{
    nlohmann::json both = nlohmann::json::array({key_event(qcode, true), key_event(qcode, false)});
    qmp(m, "input-send-event", {{"events", both}});
}

void tap(Machine& m, const std::string& qcode)
{
    key(m, qcode, true);
    sleep_ms(20);
    key(m, qcode, false);
    sleep_ms(20);
}

void type(Machine& m, const std::string& text)
{
    for (char c : text) {
        std::string code;
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            code = std::string(1, c);
        else if (c == ' ')
            code = "spc";
        else if (c == '\n')
            code = "ret";
        else if (c == '`')
            code = "grave_accent";
        else
            throw std::runtime_error(std::string("no key for ") + c);
        tap(m, code);
    }
}

void break_at(Machine& m, uint32_t address)
{
    if (gdb_command(m, "Z0," + hex32(address) + ",1") != "OK")
        throw std::runtime_error("cannot set a breakpoint");
    m.breakpoints.push_back(address);
}

void clear_break(Machine& m, uint32_t address)
{
    gdb_command(m, "z0," + hex32(address) + ",1");
    m.breakpoints.erase(std::remove(m.breakpoints.begin(), m.breakpoints.end(), address),
                        m.breakpoints.end());
}

void resume(Machine& m)
{
    // The stub would stop again on the breakpoint it sits on: step over it
    // with the breakpoint lifted, then put it back.
    uint32_t eip = stopped_eip(m);
    if (std::find(m.breakpoints.begin(), m.breakpoints.end(), eip) != m.breakpoints.end()) {
        gdb_command(m, "z0," + hex32(eip) + ",1");
        gdb_send(m, "s");
        if (!wait_stop(m, 10))
            throw std::runtime_error("single step did not stop");
        gdb_command(m, "Z0," + hex32(eip) + ",1");
    }
    gdb_send(m, "c");
}

bool wait_stop(Machine& m, double seconds)
{
    std::string reply;
    Clock::time_point t0 = Clock::now();
    while (since(t0) < seconds) {
        if (!gdb_receive(m, reply, seconds - since(t0)))
            return false;
        if (!reply.empty() && (reply[0] == 'T' || reply[0] == 'S'))
            return true;
    }
    return false;
}

uint32_t stopped_eip(Machine& m)
{
    std::string regs = gdb_command(m, "g");   // eax ecx edx ebx esp ebp esi edi eip ...
    if (regs.size() < 72)
        throw std::runtime_error("short register reply");
    uint32_t eip = 0;
    for (int byte = 3; byte >= 0; byte--)
        eip = eip << 8 | static_cast<uint32_t>(std::stoul(regs.substr(64 + 2 * byte, 2), nullptr, 16));
    return eip;
}

} // namespace qemu
