// A stand-in for an installed client program: only its version resource matters.
int main() {
    return 0;
}
