// Captured output cut into reads at random: the splitter must never crash,
// never let a line break into a line, and never lose or reorder a byte.

#include "engine/LineSplitter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool IsBreak(char C) {
    return C == '\r' || C == '\n';
}

// A cut right after a CR, or after CR LF, may change how the terminator is
// read; anywhere else the read boundaries must not matter.
bool CutChangesNothing(const std::string& Stream, std::size_t Pos) {
    if (Pos == 0 || Pos >= Stream.size()) return true;
    if (Stream[Pos - 1] == '\r') return false;
    return !(Pos >= 2 && Stream[Pos - 2] == '\r' && Stream[Pos - 1] == '\n');
}

std::vector<std::string> SplitWhole(const std::string& Stream) {
    std::vector<std::string> Lines;
    TLineSplitter Splitter([&](const std::string& Line, bool&) { Lines.push_back(Line); });
    bool Abort = false;
    Splitter.Append(Stream.data(), Stream.size(), Abort);
    Splitter.Finish(Abort);
    return Lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    FuzzedDataProvider Provider(Data, Size);
    // The hook sets the abort flag on this line (0: never).
    const unsigned AbortAt = Provider.ConsumeIntegralInRange<unsigned>(0, 8);
    std::vector<std::string> Reads;
    while (Provider.remaining_bytes() > 0) {
        const std::size_t Length = Provider.ConsumeIntegralInRange<std::size_t>(0, 64);
        Reads.push_back(Provider.ConsumeBytesAsString(Length));
    }

    std::vector<std::string> Lines;
    unsigned Delivered = 0;
    TLineSplitter Splitter([&](const std::string& Line, bool& Abort) {
        Lines.push_back(Line);
        if (++Delivered == AbortAt) Abort = true;
    });
    bool Abort = false;
    std::string Stream;
    bool CutsChangeNothing = true;
    for (const std::string& Read : Reads) {
        CutsChangeNothing = CutsChangeNothing && CutChangesNothing(Stream + Read, Stream.size());
        Stream += Read;
        Splitter.Append(Read.data(), Read.size(), Abort);
    }
    Splitter.Finish(Abort);
    if (Splitter.PendingSize() != 0) std::abort();

    // No line holds a line break, and the non-empty lines are exactly the
    // runs of other bytes in the stream, in order.
    std::vector<std::string> Runs;
    std::string Run;
    for (char C : Stream) {
        if (!IsBreak(C)) {
            Run += C;
        } else if (!Run.empty()) {
            Runs.push_back(Run);
            Run.clear();
        }
    }
    if (!Run.empty()) Runs.push_back(Run);
    std::vector<std::string> NonEmpty;
    for (const std::string& Line : Lines) {
        for (char C : Line)
            if (IsBreak(C)) std::abort();
        if (!Line.empty()) NonEmpty.push_back(Line);
    }
    if (NonEmpty != Runs) std::abort();

    // Each terminator takes one to three break bytes: the number of lines
    // is bounded by the break bytes (plus one for a last part).
    std::size_t Breaks = 0;
    for (char C : Stream)
        Breaks += IsBreak(C) ? 1 : 0;
    const std::size_t Last = (!Stream.empty() && !IsBreak(Stream.back())) ? 1 : 0;
    if (Lines.size() > Breaks + Last || Lines.size() < (Breaks + 2) / 3 + Last) std::abort();

    // Without an abort and without a cut inside a terminator, reads of any
    // size give the same lines as one read of everything.
    if (AbortAt == 0 && CutsChangeNothing && Lines != SplitWhole(Stream)) std::abort();
    return 0;
}
