// The cached analysis of a cell, written once into its header: arity, the flag that says
// some argument inside still needs reducing, the set of free single-letter variables, and
// whether the cell is data (a text leaf, or a pair of data cells).
#pragma once

#include <cstdint>

#include "core/cell.h"

namespace ruk {

void analyse_fresh(Cell* c);
// Writes the annotation of c and of every unannotated cell below it. Cells already
// annotated are left alone, so each cell is analysed once in its life.
inline void analyse(Cell* c) {
    if (annotation_byte(c) == 0) [[unlikely]]
        analyse_fresh(c);
}

inline bool is_data(Cell* c) {
    analyse(c);
    return is_data_annotation(c);
}
// Further arguments the cell needs before its head can fire: 11 never (a free letter),
// 0 a saturated redex, below 0 more arguments than the head takes. Data reads 1.
inline int arity(Cell* c) {
    analyse(c);
    return is_data_annotation(c) ? 1 : annotation_value(c);
}
// Some argument position inside still holds a term not in weak head normal form.
inline bool flag(Cell* c) {
    analyse(c);
    return !is_data_annotation(c) && annotation_flag(c);
}
// Bit k: the letter 'a' + k occurs free. Empty for numbers, texts and data.
inline uint32_t variable_set(Cell* c) {
    analyse(c);
    if (is_data_annotation(c)) return 0;
    if (is_leaf(c)) {
        unsigned char b = first_byte(c);
        if ((b >= '0' && b <= '9') || b == '[') return 0;
    }
    return field_bits(c);
}
// Data, or flag clear with an arity of at least 1.
inline bool is_whnf(Cell* c) {
    analyse(c);
    if (is_data_annotation(c)) return true;
    return !annotation_flag(c) && annotation_value(c) >= 1;
}

// Number of backslash binders standing directly nested at the top of a term, up to `limit`.
int leading_binders(Cell* term, int limit = 11);

// Shapes the machine and the passes look for.
inline bool is_leaf_text(const Cell* c, char ch) {
    return is_leaf(c) && static_cast<const Leaf*>(c)->bytes()[0] == ch &&
           static_cast<const Leaf*>(c)->bytes()[1] == '\0';
}
// pair(pair(leaf "\", key), body)
inline bool is_binder(const Cell* c) {
    return is_pair(c) && is_pair(left_of(c)) && is_leaf_text(left_of(left_of(c)), '\\');
}
// pair(pair(pair(leaf "{", key), value), body)
inline bool is_brace_form(const Cell* c) {
    if (!is_pair(c)) return false;
    const Cell* l = left_of(c);
    return is_pair(l) && is_pair(left_of(l)) && is_leaf_text(left_of(left_of(l)), '{');
}
// A name leaf: any leaf whose first byte is not a digit, "[", "(" or a blank.
inline bool is_name_leaf(const Cell* c) {
    if (!is_leaf(c)) return false;
    unsigned char b = first_byte(c);
    return !(b >= '0' && b <= '9') && b != '[' && b != '(' && b != ' ';
}
// A single lower-case letter: a parameter.
inline bool is_letter_leaf(const Cell* c) {
    if (!is_leaf(c)) return false;
    const char* s = static_cast<const Leaf*>(c)->bytes();
    return s[0] >= 'a' && s[0] <= 'z' && s[1] == '\0';
}

}  // namespace ruk
