// Sockets and name resolution on the loopback interface: a listening socket, a client
// that connects, bytes both ways, datagrams, the socket set, and name resolution.
#include "lib/sockets.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "builtin_calls.h"

using namespace ruk;
using namespace ruk::calls;

namespace {

sockaddr_in loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

uint16_t port_of(int64_t socket) {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    EXPECT_EQ(getsockname(int(socket), reinterpret_cast<sockaddr*>(&a), &n), 0);
    return ntohs(a.sin_port);
}

// A listening socket on 127.0.0.1 at a free port, made through the builtins.
int64_t listener() {
    int64_t s = int_of(call("socket", {num(AF_INET), call("sock_stream"), num(0)}));
    EXPECT_GE(s, 0);
    int one = 1;
    EXPECT_EQ(int_of(call("setsockopt", {num(s), num(SOL_SOCKET), num(SO_REUSEADDR), addr(&one),
                                         num(sizeof one)})),
              0);
    sockaddr_in a = loopback(0);
    EXPECT_EQ(int_of(call("bind", {num(s), addr(&a), num(sizeof a)})), 0);
    EXPECT_EQ(int_of(call("listen", {num(s), num(4)})), 0);
    return s;
}

TEST(Sockets, ConnectAcceptAndBytesBothWays) {
    int64_t server = listener();
    sockaddr_in to = loopback(port_of(server));
    int64_t client = int_of(call("socket", {num(AF_INET), num(SOCK_STREAM), num(0)}));
    ASSERT_GE(client, 0);
    EXPECT_EQ(int_of(call("connect", {num(client), addr(&to), num(sizeof to)})), 0);

    sockaddr_in from{};
    int32_t from_length = sizeof from;
    int64_t peer = int_of(call("accept", {num(server), addr(&from), addr(&from_length)}));
    ASSERT_GE(peer, 0);
    EXPECT_EQ(from_length, int32_t(sizeof from));
    EXPECT_EQ(ntohl(from.sin_addr.s_addr), INADDR_LOOPBACK);
    EXPECT_EQ(ntohs(from.sin_port), port_of(client));

    // a blob sends its payload from the first byte; a text its text with the "["
    EXPECT_EQ(int_of(call("send", {num(client), make_blob("ping"), num(4), num(0)})), 4);
    EXPECT_EQ(int_of(call("send", {num(client), from_text("[!]"), num(3), num(0)})), 3);
    char got[16] = {};
    EXPECT_EQ(int_of(call("recv", {num(peer), addr(got), num(7), num(MSG_WAITALL)})), 7);
    EXPECT_STREQ(got, "ping[!]");
    EXPECT_EQ(int_of(call("send", {num(peer), addr("pong"), num(4), num(0)})), 4);
    std::memset(got, 0, sizeof got);
    EXPECT_EQ(int_of(call("recv", {num(client), addr(got), num(4), num(0)})), 4);
    EXPECT_STREQ(got, "pong");

    sockaddr_in name{};
    int32_t name_length = sizeof name;
    EXPECT_EQ(int_of(call("getpeername", {num(client), addr(&name), addr(&name_length)})), 0);
    EXPECT_EQ(ntohs(name.sin_port), port_of(server));

    // an orderly close reads as 0
    EXPECT_EQ(int_of(call("shutdown", {num(client), num(SHUT_WR)})), 0);
    EXPECT_EQ(int_of(call("recv", {num(peer), addr(got), num(4), num(0)})), 0);
    for (int64_t s : {client, peer, server}) EXPECT_EQ(int_of(call("closesocket", {num(s)})), 0);
    EXPECT_EQ(int_of(call("closesocket", {num(server)})), -1);
}

TEST(Sockets, AcceptWithoutAnAddressAndSendToAPeerThatHasGone) {
    std::signal(SIGPIPE, SIG_IGN);  // as the driver does
    int64_t server = listener();
    sockaddr_in to = loopback(port_of(server));
    int64_t client = int_of(call("socket", {num(AF_INET), num(SOCK_STREAM), num(0)}));
    EXPECT_EQ(int_of(call("connect", {num(client), addr(&to), num(sizeof to)})), 0);
    int64_t peer = int_of(call("accept", {num(server), num(0), num(0)}));
    ASSERT_GE(peer, 0);
    EXPECT_EQ(int_of(call("closesocket", {num(peer)})), 0);
    // the first send may still be taken; the peer's reset then fails the next ones
    int64_t last = 0;
    for (int i = 0; i < 20 && last >= 0; ++i) {
        last = int_of(call("send", {num(client), make_blob("data"), num(4), num(0)}));
        usleep(1000);
    }
    EXPECT_EQ(last, -1);
    EXPECT_EQ(int_of(call("closesocket", {num(client)})), 0);
    EXPECT_EQ(int_of(call("closesocket", {num(server)})), 0);
}

TEST(Sockets, DatagramsWithAddresses) {
    int64_t a = int_of(call("socket", {num(AF_INET), num(SOCK_DGRAM), num(0)}));
    int64_t b = int_of(call("socket", {num(AF_INET), num(SOCK_DGRAM), num(0)}));
    sockaddr_in here = loopback(0);
    EXPECT_EQ(int_of(call("bind", {num(b), addr(&here), num(sizeof here)})), 0);
    sockaddr_in to = loopback(port_of(b));
    EXPECT_EQ(int_of(call("sendto",
                          {num(a), make_blob("dgram"), num(5), num(0), addr(&to), num(sizeof to)})),
              5);
    char got[8] = {};
    sockaddr_in from{};
    int32_t from_length = sizeof from;
    EXPECT_EQ(int_of(call("recvfrom", {num(b), addr(got), num(sizeof got), num(0), addr(&from),
                                       addr(&from_length)})),
              5);
    EXPECT_STREQ(got, "dgram");
    EXPECT_EQ(ntohs(from.sin_port), port_of(a));
    // without the sender's address
    EXPECT_EQ(
        int_of(call("sendto", {num(a), make_blob("x"), num(1), num(0), addr(&to), num(sizeof to)})),
        1);
    EXPECT_EQ(int_of(call("recvfrom", {num(b), addr(got), num(8), num(0), num(0), num(0)})), 1);
    EXPECT_EQ(int_of(call("closesocket", {num(a)})), 0);
    EXPECT_EQ(int_of(call("closesocket", {num(b)})), 0);
}

TEST(Sockets, CountsAndKindsAreChecked) {
    int64_t s = int_of(call("socket", {num(AF_INET), num(SOCK_DGRAM), num(0)}));
    sockaddr_in to = loopback(9);
    // more bytes than the value holds, or a negative length
    EXPECT_TRUE(is_z(call("send", {num(s), make_blob("abc"), num(5), num(0)})));
    EXPECT_TRUE(is_z(call("send", {num(s), make_blob("abc"), num(-1), num(0)})));
    EXPECT_TRUE(
        is_z(call("sendto", {num(s), make_blob("ab"), num(4), num(0), addr(&to), num(sizeof to)})));
    char buf[4];
    EXPECT_TRUE(is_z(call("recv", {num(s), addr(buf), num(-4), num(0)})));
    EXPECT_TRUE(is_z(call("recv", {num(s), num(0), num(4), num(0)})));
    // wrong kinds
    EXPECT_TRUE(is_z(call("socket", {from_text("[2]"), num(1), num(0)})));
    EXPECT_TRUE(is_z(call("bind", {num(s), make_blob("addr"), num(16)})));
    EXPECT_TRUE(is_z(call("connect", {num(s), addr(&to), flt(16)})));
    EXPECT_TRUE(is_z(call("listen", {leaves().I, num(1)})));
    EXPECT_TRUE(
        is_z(call("send", {num(s), apply(from_text("[a]"), from_text("[b]")), num(1), num(0)})));
    EXPECT_TRUE(is_z(call("htons", {make_blob("x")})));
    EXPECT_TRUE(is_z(call("getaddrinfo", {from_text("[localhost]"), num(0), num(0), num(8)})));
    EXPECT_TRUE(is_z(call("freeaddrinfo", {make_blob("x")})));
    EXPECT_TRUE(is_z(call("gethostname", {addr(buf), num(-1)})));
    EXPECT_TRUE(is_z(call("fd_set", {num(3), num(0)})));
    EXPECT_EQ(int_of(call("closesocket", {num(s)})), 0);
}

TEST(Sockets, ByteOrder) {
    EXPECT_EQ(int_of(call("htons", {num(1)})), 256);
    EXPECT_EQ(int_of(call("ntohs", {num(256)})), 1);
    EXPECT_EQ(int_of(call("htons", {num(0x12345)})), 0x4523);  // the low 16 bits
    EXPECT_EQ(int_of(call("htonl", {num(1)})), 0x01000000);
    EXPECT_EQ(int_of(call("ntohl", {num(0x80000000)})), 0x80);
    EXPECT_EQ(int_of(call("htonl", {num(0xFF)})), 0xFF000000);  // unsigned: never negative
    EXPECT_EQ(int_of(call("htonl", {num(-1)})), 0xFFFFFFFF);
}

TEST(Sockets, TheSocketSetAddsEachSocketOnce) {
    SocketSet set{};
    EXPECT_TRUE(is_unit(call("fd_set", {num(7), addr(&set)})));
    EXPECT_TRUE(is_unit(call("fd_set", {num(7), addr(&set)})));
    EXPECT_EQ(set.count, 1u);
    EXPECT_EQ(set.sockets[0], 7);
    for (int i = 100; i < 163; ++i) EXPECT_TRUE(is_unit(call("fd_set", {num(i), addr(&set)})));
    EXPECT_EQ(set.count, 64u);
    EXPECT_TRUE(is_unit(call("fd_set", {num(500), addr(&set)})));  // full
    EXPECT_EQ(set.count, 64u);
    EXPECT_EQ(set.sockets[63], 162);
    // 64-bit handles are kept whole
    SocketSet wide{};
    EXPECT_TRUE(is_unit(call("fd_set", {num(int64_t(1) << 40), addr(&wide)})));
    EXPECT_EQ(wide.sockets[0], int64_t(1) << 40);
    // a count beyond the array is not trusted for the scan
    SocketSet broken{};
    broken.count = 1000;
    EXPECT_TRUE(is_unit(call("fd_set", {num(1), addr(&broken)})));
    EXPECT_EQ(broken.count, 1000u);
}

TEST(Sockets, NameResolution) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* result = nullptr;
    EXPECT_EQ(
        int_of(call("getaddrinfo", {addr("127.0.0.1"), addr("8080"), addr(&hints), addr(&result)})),
        0);
    ASSERT_NE(result, nullptr);
    auto* in = reinterpret_cast<sockaddr_in*>(result->ai_addr);
    EXPECT_EQ(ntohs(in->sin_port), 8080);
    EXPECT_EQ(int64_t(sizeof(addrinfo)), int_of(call("addrinfo")));

    char host[64] = {}, service[16] = {};
    EXPECT_EQ(
        int_of(call("getnameinfo",
                    {addr(result->ai_addr), num(result->ai_addrlen), addr(host), num(sizeof host),
                     addr(service), num(sizeof service), num(NI_NUMERICHOST | NI_NUMERICSERV)})),
        0);
    EXPECT_STREQ(host, "127.0.0.1");
    EXPECT_STREQ(service, "8080");
    EXPECT_TRUE(is_unit(call("freeaddrinfo", {addr(result)})));
    EXPECT_TRUE(is_unit(call("freeaddrinfo", {num(0)})));

    int code = int(
        int_of(call("getaddrinfo", {addr("not a number"), num(0), addr(&hints), addr(&result)})));
    EXPECT_NE(code, 0);
    const char* first = ptr_of(call("gai_strerror", {num(code)}));
    EXPECT_STREQ(first, gai_strerror(code));
    EXPECT_EQ(ptr_of(call("gai_strerror", {num(EAI_AGAIN)})), first);  // one buffer
    EXPECT_STREQ(first, gai_strerror(EAI_AGAIN));
    EXPECT_STREQ(ptr_of(call("gai_strerror", {num(123456)})), gai_strerror(123456));

    char name[256] = {}, want[256] = {};
    EXPECT_EQ(int_of(call("gethostname", {addr(name), num(sizeof name)})), 0);
    ASSERT_EQ(gethostname(want, sizeof want), 0);
    EXPECT_STREQ(name, want);
}

TEST(Sockets, AddressTexts) {
    unsigned char bin[4] = {};
    EXPECT_EQ(int_of(call("inet_pton", {num(AF_INET), addr("10.1.2.3"), addr(bin)})), 1);
    EXPECT_EQ(bin[0], 10);
    EXPECT_EQ(bin[3], 3);
    EXPECT_EQ(int_of(call("inet_pton", {num(AF_INET), addr("10.1.2"), addr(bin)})), 0);
    EXPECT_EQ(int_of(call("inet_pton", {num(12345), addr("10.1.2.3"), addr(bin)})), -1);
    char text[INET_ADDRSTRLEN] = {};
    EXPECT_EQ(ptr_of(call("inet_ntop", {num(AF_INET), addr(bin), addr(text), num(sizeof text)})),
              text);
    EXPECT_STREQ(text, "10.1.2.3");
    EXPECT_EQ(int_of(call("inet_ntop", {num(AF_INET), addr(bin), addr(text), num(4)})), 0);
    EXPECT_EQ(program_errno_now(), ENOSPC);
}

}  // namespace
