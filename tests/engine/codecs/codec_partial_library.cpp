// A shared library for the codec binding tests: it has every entry point of
// libbz2's table, each returning its own mark, and only a few of liblzma's
// (no lzma_end), so that binding liblzma from it must fail as a whole.
extern "C" {
int BZ2_bzDecompressInit(void*, int, int) { return 1; }
int BZ2_bzDecompress(void*) { return 2; }
int BZ2_bzDecompressEnd(void*) { return 3; }
int lzma_block_decoder(void*, void*) { return 11; }
int lzma_code(void*, int) { return 11; }
}
