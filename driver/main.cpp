// Placeholder entry point; the driver proper follows.
int main() { return 0; }
