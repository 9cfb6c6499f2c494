// SPDX-License-Identifier: MIT
// zentu: echo a text, then print it enciphered by repeating-key XOR in hex.

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

// The key is built from these at run time so that it never stands in the
// binary as a string. The build may replace both to choose another key.
#ifndef ZENTU_KEY_HEAD
#define ZENTU_KEY_HEAD 0x2359336bU // key bytes 0 to 3, byte 0 lowest: "k3Y#"
#endif
#ifndef ZENTU_KEY_TAIL
#define ZENTU_KEY_TAIL 0x0070U // key byte 4 ("p"), then the terminating zero
#endif

int main(int argc, char *argv[])
{
	int status = 0;

	if (argc != 2) {
		(void)std::puts("Please enter the text to apply Zentu's patented algorithm.");
		status = 1;
	} else {
		char *text = argv[1];
		(void)std::printf("Your plain text: %s\n", text);
		(void)std::puts("Applying Zentu Industry's Certified unbreakable algorithm.");

		// Key byte 0 is the constants' least significant byte, which memory
		// holds first only on a little-endian machine; elsewhere the copies
		// are byte-swapped (GCC's and Clang's builtins: std::byteswap is
		// C++23). Whole constants keep the key in instructions.
		constexpr bool little_endian = std::endian::native == std::endian::little;
		static_assert(little_endian || std::endian::native == std::endian::big);
		constexpr std::uint32_t head = ZENTU_KEY_HEAD;
		constexpr std::uint16_t tail = ZENTU_KEY_TAIL;
		constexpr std::uint32_t key_head = little_endian ? head : __builtin_bswap32(head);
		constexpr std::uint16_t key_tail = little_endian ? tail : __builtin_bswap16(tail);
		char key[6];
		std::memcpy(key, &key_head, sizeof key_head);
		std::memcpy(key + sizeof key_head, &key_tail, sizeof key_tail);

		(void)std::printf("Final: 0x");
		// Linux bounds one argument to 128 KiB, far inside the counter's range.
		auto const length = static_cast<std::int32_t>(std::strlen(text));
		for (std::int32_t position = 0; position < length; position++) {
			text[position] = static_cast<char>(text[position] ^ key[position % 5]);
			(void)std::printf("%02x", static_cast<unsigned char>(text[position]));
		}
		(void)std::putchar('\n');
	}

	// A result that never reached its reader is a failure, not a success.
	// Some file systems (NFS) report a lost write only at close.
	if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || std::fclose(stdout) != 0) {
		int const error = errno;
		if (error == 0)
			(void)std::fputs("zentu: write error\n", stderr);
		else
			(void)std::fprintf(stderr, "zentu: write error: %s\n",
			                   std::strerror(error));
		return 1;
	}
	return status;
}
