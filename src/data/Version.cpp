#include "data/Version.h"
#include "platform/Error.h"
#include "platform/Text.h"

namespace {

bool StartsWithIgnoringCase(const std::string& Text, const std::string& Prefix) {
    if (Text.size() < Prefix.size()) return false;
    for (std::size_t I = 0; I < Prefix.size(); ++I)
        if (UpperAscii(Text[I]) != UpperAscii(Prefix[I])) return false;
    return true;
}

} // namespace

TVersion::TVersion(const std::string& Text) {
    if (Trimmed(Text).empty()) throw Exception("Bad version string");
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
        FEditionText = Trimmed(Text.substr(Pos));
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
