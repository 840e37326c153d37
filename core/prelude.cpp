#include "core/prelude.h"

namespace ruk {

// A a = a S (B K K); B a b c = a (b c); ... K is true, H is false; J a b is a list cell
// with head a and tail b, and V a b c = c a b takes a pair apart. The backslash and the
// brace mention every capital so that the liveness check keeps them all.
const std::string_view kPrelude =
    R"(,A\a\aS BKK,B\a\b\c\a b(c),C\a\b\c\a c b,D\a\b\c\d\a b c(d),E\a\b\c\d\e\a b c(d,e))"
    R"(,F\a\b\Vb a,G\a\VZ BW(BC)DDV(V XJ),H\a\I,I\a\a,J\a\b\c\Va b,K\a\b\a,L\a\aK K(KH))"
    R"(,M\a\a a,N\a\K,O\a\b\b a(b),P\a\a XS I,Q\a\aZK,R\a\aZH,U\a\b\Ua,S\a\b\c\a c b(c))"
    R"(,T\a\b\b a,V\a\b\c\c a b,W\a\b\a b b,Z\a\Z,X\a\b\c\d\Vb a(d,c),Y\a\b\a Ya b)"
    R"(,[\]\a\b\c\ABCDEFGHIJKLMNOPQRSTUVWXYZ,[{]\a\b\c\Z,[&]\q\r\q r H,[|]\q\r\qKr)"
    R"(,[!]\flip,[+]\plus,[-]\dash,[*]\mult,[/]\over,[%]\cent,[^]\powa,[<]\less)"
    R"(,[>]\gteq,[=]\same,[#]\diff,[$]\buck,[~]\wave,[@]\T,[.]\T,[;]\I,[?]\I,[:]\I)"
    R"(,[']\I,["]\I)";

}  // namespace ruk
