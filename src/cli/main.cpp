// Placeholder until the command-line counter lands.
int main() { return 0; }
