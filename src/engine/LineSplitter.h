#pragma once
// Splits the bytes a console program writes into lines, read by read.
//
// A line ends at the first CR or LF. CR LF is one terminator, and so is
// CR LF CR; a lone CR or LF is a terminator of its own. Splitting happens as
// the bytes of each read arrive, so a CR that is the last byte of a read is a
// whole terminator, and an LF arriving with the next read ends an extra empty
// line. This is the behaviour the installer's log has always shown.

#include <cstddef>
#include <functional>
#include <string>

class TLineSplitter {
public:
    // Receives one line (without its terminator; the text is valid during
    // the call only); may set Abort to ask the caller to stop the program
    // that writes the output.
    using TLineSink = std::function<void(const std::string& Line, bool& Abort)>;

    explicit TLineSplitter(TLineSink OnLine);

    // Takes the bytes of one read and delivers the complete lines, until none
    // is left or Abort is set. The first line of a call is always delivered,
    // even when Abort was set before. A read of no bytes delivers nothing.
    void Append(const char* Data, std::size_t Count, bool& Abort);

    // The output has ended: delivers every line still pending, whatever
    // Abort says (lines held back by an abort are output all the same), and
    // then the last part without a line end, if there is one.
    void Finish(bool& Abort);

    // Bytes received but not delivered yet.
    std::size_t PendingSize() const { return FPending.size() - FStart; }

private:
    // Delivers the line that starts at FStart, if it is complete; false when
    // no terminator is left.
    bool DeliverLine(bool& Abort);

    TLineSink FOnLine;
    std::string FPending;
    // Start of the undelivered text in FPending; consumed text is dropped
    // once per read, not once per line, so big reads stay linear.
    std::size_t FStart = 0;
    std::string FLine;
};
