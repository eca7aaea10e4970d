// Throws what nothing catches.
#include <exception>

struct TProbeError : std::exception {
    const char* what() const noexcept override { return "the probe's own text"; }
};

int main() {
    throw TProbeError();
}
