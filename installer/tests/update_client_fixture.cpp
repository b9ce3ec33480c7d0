// A stand-in for the installed client program; only its version resource matters.
int main() {
    return 0;
}
