// Linked with the whole platform library and nothing else: the build fails when a
// platform source needs the logic, which would turn the layers upside down.
int main() {
    return 0;
}
