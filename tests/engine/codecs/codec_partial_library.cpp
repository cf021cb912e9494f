// A shared library for the codec binding tests: it has every entry point of
// libbz2's table, each returning its own mark, and only two of liblzma's
// three (no lzma_end), so that binding liblzma from it must fail as a whole.
extern "C" {
int BZ2_bzDecompressInit(void*, int, int) { return 1; }
int BZ2_bzDecompress(void*) { return 2; }
int BZ2_bzDecompressEnd(void*) { return 3; }
int lzma_stream_decoder_mt(void*, const void*) { return 11; }
int lzma_code(void*, int) { return 11; }
}
