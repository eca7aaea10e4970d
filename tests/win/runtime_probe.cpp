// Throws what nothing catches.
int main() {
    throw 1;
}
