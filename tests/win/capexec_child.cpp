// A console program for the captured-execution tests. It runs the commands
// of its command line in order:
//
//   out TEXT / err TEXT   write TEXT to standard output / error; %XX is the
//                         byte XX in hex (so line ends and OEM bytes can be
//                         given without quoting trouble)
//   sleep MS              wait MS milliseconds
//   exit CODE             end with CODE (decimal, may be negative)
//   cmdline               write the command line as received, end with 0
//   cwd / self            write the current folder / own file path
//   flood LINES           write LINES numbered lines of 80 bytes
//   floodfail MARKER      write numbered lines until writing fails, then
//                         create the file MARKER and end with 3
//   ctrlc CODE            read standard input; after eight 0x03 bytes end
//                         with CODE, on another byte with 43, at its end 44
//   eof MARKER            read standard input to its end, then create the
//                         file MARKER
//   touch MARKER          create the file MARKER
//   openwrite PATH        open the existing file PATH for writing, sharing
//                         everything; end with 0 if that worked, 2 on a
//                         sharing violation, 3 on any other error
//   stdtype               write the kinds of its standard output and error
//                         ("disk", "pipe", ...), blank between, and a line end
//   long LENGTH           write, in one go, a line of LENGTH x characters,
//                         CR LF, and the line "end" with CR LF
//   later MS TEXT         start a copy of itself on the same standard
//                         handles that waits MS milliseconds and then writes
//                         TEXT, and go on without waiting for it
//
// Without commands it writes its command line. A watchdog ends it after 30 s
// so that a failing test leaves no program behind.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Unescape(const char* Text) {
    std::string Bytes;
    for (const char* P = Text; *P; ++P) {
        if (P[0] == '%' && P[1] && P[2]) {
            const char Hex[3] = {P[1], P[2], 0};
            Bytes += static_cast<char>(std::strtoul(Hex, nullptr, 16));
            P += 2;
        } else {
            Bytes += *P;
        }
    }
    return Bytes;
}

bool Write(DWORD Which, const std::string& Bytes) {
    DWORD Written = 0;
    return WriteFile(GetStdHandle(Which), Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written,
                     nullptr) &&
           Written == Bytes.size();
}

void Touch(const char* Path) {
    HANDLE File = CreateFileA(Path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (File != INVALID_HANDLE_VALUE) CloseHandle(File);
}

std::string NumberedLine(unsigned Number) {
    char Head[16];
    std::snprintf(Head, sizeof(Head), "%08u ", Number);
    std::string Line(Head);
    Line.append(78 - Line.size(), static_cast<char>('a' + Number % 26));
    return Line + "\r\n";
}

// Eight 0x03 bytes: Code; any other byte: 43; end of input: 44.
int AwaitCtrlC(int Code) {
    int Seen = 0;
    char Byte = 0;
    DWORD Read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &Byte, 1, &Read, nullptr) && Read == 1) {
        if (Byte != 3) return 43;
        if (++Seen == 8) return Code;
    }
    return 44;
}

DWORD WINAPI Watchdog(void*) {
    Sleep(30000);
    ExitProcess(97);
}

} // namespace

int main(int argc, char** argv) {
    CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));
    if (argc < 2) {
        Write(STD_OUTPUT_HANDLE, GetCommandLineA());
        return 0;
    }
    for (int I = 1; I < argc; ++I) {
        const std::string Command = argv[I];
        const char* Arg = I + 1 < argc ? argv[I + 1] : "";
        if (Command == "stdtype") {
            const auto Kind = [](DWORD Which) {
                switch (GetFileType(GetStdHandle(Which))) {
                case FILE_TYPE_DISK:
                    return "disk";
                case FILE_TYPE_PIPE:
                    return "pipe";
                case FILE_TYPE_CHAR:
                    return "char";
                default:
                    return "unknown";
                }
            };
            Write(STD_OUTPUT_HANDLE,
                  std::string(Kind(STD_OUTPUT_HANDLE)) + " " + Kind(STD_ERROR_HANDLE) + "\r\n");
            continue;
        } else if (Command == "cmdline") {
            Write(STD_OUTPUT_HANDLE, GetCommandLineA());
            return 0;
        } else if (Command == "cwd" || Command == "self") {
            char Path[MAX_PATH] = {};
            if (Command == "cwd")
                GetCurrentDirectoryA(MAX_PATH, Path);
            else
                GetModuleFileNameA(nullptr, Path, MAX_PATH);
            Write(STD_OUTPUT_HANDLE, std::string(Path) + "\r\n");
            continue;
        }
        ++I;
        if (Command == "out") {
            Write(STD_OUTPUT_HANDLE, Unescape(Arg));
        } else if (Command == "err") {
            Write(STD_ERROR_HANDLE, Unescape(Arg));
        } else if (Command == "sleep") {
            Sleep(std::strtoul(Arg, nullptr, 10));
        } else if (Command == "exit") {
            return static_cast<int>(std::strtol(Arg, nullptr, 10));
        } else if (Command == "flood") {
            const unsigned Lines = std::strtoul(Arg, nullptr, 10);
            std::string Block;
            for (unsigned N = 0; N < Lines; ++N) {
                Block += NumberedLine(N);
                if (Block.size() >= 65536 || N + 1 == Lines) {
                    if (!Write(STD_OUTPUT_HANDLE, Block)) return 3;
                    Block.clear();
                }
            }
        } else if (Command == "long") {
            std::string Bytes(std::strtoul(Arg, nullptr, 10), 'x');
            Bytes += "\r\nend\r\n";
            if (!Write(STD_OUTPUT_HANDLE, Bytes)) return 3;
        } else if (Command == "later") {
            const char* Text = I + 1 < argc ? argv[++I] : "";
            char Self[MAX_PATH] = {};
            GetModuleFileNameA(nullptr, Self, MAX_PATH);
            std::string CommandLine = std::string("\"") + Self + "\" sleep " + Arg + " out " + Text;
            STARTUPINFOA Startup{};
            Startup.cb = sizeof Startup;
            Startup.dwFlags = STARTF_USESTDHANDLES;
            Startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
            Startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
            Startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
            PROCESS_INFORMATION Info{};
            if (!CreateProcessA(Self, CommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                nullptr, &Startup, &Info))
                return 91;
            CloseHandle(Info.hThread);
            CloseHandle(Info.hProcess);
        } else if (Command == "floodfail") {
            for (unsigned N = 0; Write(STD_OUTPUT_HANDLE, NumberedLine(N)); ++N) {
            }
            Touch(Arg);
            return 3;
        } else if (Command == "ctrlc") {
            return AwaitCtrlC(std::atoi(Arg));
        } else if (Command == "eof") {
            char Buffer[256];
            DWORD Read = 0;
            while (
                ReadFile(GetStdHandle(STD_INPUT_HANDLE), Buffer, sizeof(Buffer), &Read, nullptr) &&
                Read > 0) {
            }
            Touch(Arg);
        } else if (Command == "touch") {
            Touch(Arg);
        } else if (Command == "openwrite") {
            HANDLE File = CreateFileA(Arg, GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
            if (File == INVALID_HANDLE_VALUE)
                return GetLastError() == ERROR_SHARING_VIOLATION ? 2 : 3;
            CloseHandle(File);
            return 0;
        } else {
            return 90;
        }
    }
    return 0;
}
