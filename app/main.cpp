// Quillmark: program entry.
//
// The main window starts here. Until it is built, the program ends at once, printing
// nothing, with status 0; the version block of this program is already embedded by the
// build (see app/CMakeLists.txt).

int main() {
    return 0;
}
