// A shared library that looks like zlib but lacks one of its nine entry
// points (inflateEnd), for the binding tests: binding it must fail as a
// whole. Its functions are never called.
extern "C" {
int zlibVersion() { return 0; }
int deflateInit_() { return -2; }
int deflateInit2_() { return -2; }
int deflate() { return -2; }
int deflateEnd() { return -2; }
int inflateInit_() { return -2; }
int inflateInit2_() { return -2; }
int inflate() { return -2; }
}
