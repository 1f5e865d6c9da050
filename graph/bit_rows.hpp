#pragma once

// Bitset rows: sets of vertices held as whole 64-bit words, vertex v in bit
// v % 64 of word v / 64. A row is a plain pointer into storage its owner keeps
// (a std::vector of words); these helpers only read and write words.
//
// The functions that loop over a row take the word count as an argument. When
// a caller passes a compile-time constant (one word for n <= 64), the loops
// unroll away after inlining.

#include <bit>
#include <cstdint>

namespace pellimor {

using Word = std::uint64_t;

inline constexpr int word_bits = 64;

// Words per row for n vertices; at least one, so that a row always exists.
constexpr int words_for(int n) {
    return n > word_bits ? (n + word_bits - 1) / word_bits : 1;
}

// The single-bit word that holds vertex v within its word.
constexpr Word bit_of(int v) {
    return Word{1} << (v & (word_bits - 1));
}

inline bool test_bit(const Word* row, int v) {
    return (row[v / word_bits] & bit_of(v)) != 0;
}
inline void set_bit(Word* row, int v) {
    row[v / word_bits] |= bit_of(v);
}
inline void clear_bit(Word* row, int v) {
    row[v / word_bits] &= ~bit_of(v);
}

// True when some word(w), w = 0 .. words-1, is non-zero. word is any callable
// that computes word w of a set, such as a & ~b over two rows, so that no
// temporary row is built.
template <typename WordOf>
inline bool any_word(int words, WordOf word) {
    for (int w = 0; w < words; ++w) {
        if (word(w) != 0) {
            return true;
        }
    }
    return false;
}

inline bool any_bit(const Word* row, int words) {
    return any_word(words, [row](int w) { return row[w]; });
}

// Calls visit(v) for each vertex v of the set given word by word, in
// increasing order, while visit returns true. Returns false when a visit
// returned false, true when every vertex was visited. The word of the set is
// computed once, before its bits are visited, so visit may change the rows
// the set was computed from.
template <typename WordOf, typename Visit>
inline bool all_bits(int words, WordOf word, Visit visit) {
    for (int w = 0; w < words; ++w) {
        for (Word bits = word(w); bits != 0; bits &= bits - 1) {
            if (!visit(w * word_bits + std::countr_zero(bits))) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace pellimor
