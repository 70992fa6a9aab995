// upload.exe: the server runs it beside itself for POST /@upload.exe, the request body
// on standard input, its answer on standard output.
#include "cgi/upload/UploadProgram.h"

int main() {
    platform::FileHandle input(0);
    platform::FileHandle output(1);
    return RunUploadProgram(input, output);
}
