// Linked with one layer whole and the layers below it; it only has to link.
int main() { return 0; }
