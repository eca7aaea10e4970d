#pragma once
// One version of the product: three or four numbers kept as digit strings,
// and an edition. Its full text is both the display and the stored form.

#include <string>

class TVersion {
public:
    // Raises Exception("Bad version string") for a blank string.
    explicit TVersion(const std::string& Text);

    std::string NumberText() const;
    std::string EditionName() const;
    std::string FullText() const;

    const std::string& Major() const { return FMajor; }
    const std::string& Minor() const { return FMinor; }
    const std::string& Release() const { return FRelease; }
    const std::string& Build() const { return FBuild; }
    const std::string& EditionText() const { return FEditionText; }
    bool FreeEdition() const { return FFreeEdition; }

private:
    void Parse(const std::string& Text);

    std::string FMajor, FMinor, FRelease, FBuild, FEditionText;
    bool FFreeEdition = false;
};
