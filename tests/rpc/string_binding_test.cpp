// String bindings, protocol sequences, endpoints and universal addresses of
// the POSIX RPC runtime, checked directly.
#include <string>

#include <gtest/gtest.h>

#include "platform/posix/rpc/rpc_posix.h"

namespace {

using namespace brindle::detail;

TEST(RpcStringBindings, ComposeParseAndTheirParts) {
  struct Compose {
    char const *uuid, *protseq, *address, *endpoint, *options, *text;  // text null: 1700
  } const composed[] = {
      {nullptr, "ncacn_ip_tcp", nullptr, nullptr, nullptr, "ncacn_ip_tcp:"}, {"", "ncacn_ip_tcp", "", "", "", "ncacn_ip_tcp:"},
      {"u", "ncadg_ip_udp", "10.0.0.1", "7", "a=b,c=d", "u@ncadg_ip_udp:10.0.0.1[7,a=b,c=d]"},
      {nullptr, "ncalrpc", nullptr, nullptr, "opt", "ncalrpc:[,opt]"},
      {nullptr, "ncacn_ip_tcp", "fe80::1", "135", nullptr, "ncacn_ip_tcp:fe80::1[135]"},
      {"a:b", "ncacn_ip_tcp", nullptr, nullptr, nullptr, nullptr}, {nullptr, "nca:cn", nullptr, nullptr, nullptr, nullptr},
      {nullptr, "ncacn_ip_tcp", "ho[st", nullptr, nullptr, nullptr}, {nullptr, "ncacn_ip_tcp", "a@b", nullptr, nullptr, nullptr},
      {nullptr, "ncacn_ip_tcp", nullptr, "1,2", nullptr, nullptr}, {nullptr, "ncacn_ip_tcp", nullptr, "1]", nullptr, nullptr},
      {nullptr, "ncacn_ip_tcp", nullptr, nullptr, "x]y", nullptr}, {nullptr, "ncalrpc", nullptr, nullptr, "o]", nullptr},
  };
  for (auto const& c : composed) {
    std::string text = "untouched";
    EXPECT_EQ(ComposeStringBinding(c.uuid, c.protseq, c.address, c.endpoint, c.options, &text), c.text ? 0 : 1700);
    EXPECT_EQ(text, c.text != nullptr ? c.text : "untouched");
  }
  struct Parse {
    char const *text, *parts;  // uuid|protseq|address|endpoint|options, or null when malformed
  } const parsed[] = {
      {"u@ncacn_ip_tcp:host[135,a=b,c]", "u|ncacn_ip_tcp|host|135|a=b,c"}, {"ncalrpc:[name]", "|ncalrpc||name|"},
      {"ncalrpc:[,opt]", "|ncalrpc|||opt"}, {"ncacn_ip_tcp:fe80::1[80]", "|ncacn_ip_tcp|fe80::1|80|"},
      {"ncacn_ip_tcp:host[]", "|ncacn_ip_tcp|host||"}, {"@ncacn_ip_tcp:", "|ncacn_ip_tcp|||"},
      {"", nullptr}, {"ncacn_ip_tcp", nullptr}, {"ncacn_ip_tcp:host[135", nullptr}, {"ncacn_ip_tcp:host[135]x", nullptr},
      {"ncacn_ip_tcp:host]", nullptr}, {"ncacn_ip_tcp:host[[1]]", nullptr}, {"a@b@ncacn_ip_tcp:", nullptr},
      {"ncacn_ip_tcp:u@host", nullptr},
  };
  for (auto const& c : parsed) {
    StringBindingParts p;
    ASSERT_EQ(ParseStringBinding(c.text, &p), c.parts != nullptr ? 0 : 1700) << c.text;
    EXPECT_TRUE(!c.parts || p.object_uuid + "|" + p.protseq + "|" + p.address + "|" + p.endpoint + "|" + p.options == c.parts);
  }
  // Ports, socket names and universal addresses.
  for (auto [text, port] : {std::pair{"1", 1}, {"65535", 65535}, {"0", 0}, {"65536", 0}, {"", 0}, {"-1", 0},
                            {"12a", 0}, {"000080", 0}, {"00080", 80}}) EXPECT_EQ(ParsePort(text), port) << text;
  EXPECT_TRUE(LocalEndpointPath("lrpc-9") == LocalSocketDirectory() + "/lrpc-9" && LocalEndpointPath("/r/s") == "/r/s");
  for (char const* bad : {"", ".", "..", "a/b", "sp ace", "semi;colon"}) EXPECT_EQ(LocalEndpointPath(bad), "") << bad;
  EXPECT_EQ(LocalEndpointPath("/" + std::string(120, 'x')), "");
  EXPECT_FALSE(IsUuidText("12345678-9abc-def0-1234_56789abcdef0") || IsUuidText("1234567g-9abc-def0-1234-56789abcdef0"));
  sockaddr_in address{AF_INET, htons(256), {htonl(0x7F000001u)}, {}};
  EXPECT_EQ(InetUniversalAddress(address), "127.0.0.1.1.0");
  for (auto [uaddr, port] : {std::pair{"127.0.0.1.0.111", 111u}, {"", 0u}, {"1.2", 0u}, {"127.0.0.1.256.1", 0u},
                             {"1.1.0", 256u}, {"1.0255.1", 0u}, {"1.a.1", 0u}, {"/x.sock", 0u}}) EXPECT_EQ(UniversalAddressPort(uaddr), port);
}

}  // namespace
