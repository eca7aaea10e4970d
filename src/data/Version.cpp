#include "data/Version.h"
#include "platform/Error.h"

namespace {

bool IsBlank(char C) {
    return static_cast<unsigned char>(C) <= ' ';
}

std::string TrimBlanks(const std::string& Text) {
    std::size_t First = 0, Last = Text.size();
    while (First < Last && IsBlank(Text[First]))
        ++First;
    while (Last > First && IsBlank(Text[Last - 1]))
        --Last;
    return Text.substr(First, Last - First);
}

char AsciiUpper(char C) {
    return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C;
}

bool StartsWithIgnoringCase(const std::string& Text, const std::string& Prefix) {
    if (Text.size() < Prefix.size()) return false;
    for (std::size_t I = 0; I < Prefix.size(); ++I)
        if (AsciiUpper(Text[I]) != AsciiUpper(Prefix[I])) return false;
    return true;
}

} // namespace

TVersion::TVersion(const std::string& Text) {
    if (TrimBlanks(Text).empty()) throw Exception("Bad version string");
    Parse(Text);
}

void TVersion::Parse(const std::string& Text) {
    std::size_t Pos = 0;
    auto NextNumber = [&]() {
        while (Pos < Text.size() && Text[Pos] == '.')
            ++Pos;
        std::size_t Start = Pos;
        while (Pos < Text.size() && Text[Pos] >= '0' && Text[Pos] <= '9')
            ++Pos;
        return Text.substr(Start, Pos - Start);
    };
    std::string Numbers[4];
    for (auto& Number : Numbers)
        Number = NextNumber();

    if (!Numbers[0].empty() && !Numbers[1].empty() && !Numbers[2].empty()) {
        FMajor = Numbers[0];
        FMinor = Numbers[1];
        FRelease = Numbers[2];
        FBuild = Numbers[3];
        FEditionText = TrimBlanks(Text.substr(Pos));
        FFreeEdition = StartsWithIgnoringCase(FEditionText, "Free");
    }

    // A version written as 1.1.2 stands for 1.0.0; build and edition stay.
    if (FMajor == "1" && FMinor == "1" && FRelease == "2") {
        FMinor.assign(1, '0');
        FRelease.assign(1, '0');
    }
}

std::string TVersion::NumberText() const {
    std::string Result = FMajor + "." + FMinor + "." + FRelease;
    if (!FBuild.empty()) Result += "." + FBuild;
    return Result;
}

std::string TVersion::EditionName() const {
    return FFreeEdition ? "Free Edition" : "Standard Edition";
}

std::string TVersion::FullText() const {
    return NumberText() + " " + EditionName();
}
