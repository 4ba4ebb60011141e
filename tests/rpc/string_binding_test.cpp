// String bindings, protocol sequences, endpoints and universal addresses of
// the POSIX RPC runtime, checked directly.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/posix/rpc/rpc_posix.h"

namespace {

using brindle::detail::ComposeStringBinding;
using brindle::detail::ParseStringBinding;
using brindle::detail::StringBindingParts;

TEST(RpcProtseqs, CarriedKnownAndUnknown) {
  using brindle::detail::Protseq;
  struct Case {
    char const* text;
    RPC_STATUS status;
  } const cases[] = {
      {"ncacn_ip_tcp", RPC_S_OK},  {"ncadg_ip_udp", RPC_S_OK},
      {"ncalrpc", RPC_S_OK},       {"ncacn_np", RPC_S_PROTSEQ_NOT_SUPPORTED},
      {"ncacn_http", RPC_S_PROTSEQ_NOT_SUPPORTED}, {"ncadg_ipx", RPC_S_PROTSEQ_NOT_SUPPORTED},
      {"", RPC_S_INVALID_RPC_PROTSEQ}, {"NCACN_IP_TCP", RPC_S_INVALID_RPC_PROTSEQ},
      {"ncacn_ip_tcp ", RPC_S_INVALID_RPC_PROTSEQ}, {nullptr, RPC_S_INVALID_RPC_PROTSEQ},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.text != nullptr ? c.text : "(null)");
    Protseq protseq;
    EXPECT_EQ(brindle::detail::FindProtseq(c.text, &protseq), c.status);
  }
  EXPECT_STREQ(brindle::detail::NetId(Protseq::kTcp), "tcp");
  EXPECT_STREQ(brindle::detail::NetId(Protseq::kUdp), "udp");
  EXPECT_STREQ(brindle::detail::NetId(Protseq::kLocal), "local");
}

TEST(RpcStringBindings, Compose) {
  struct Case {
    char const *uuid, *protseq, *address, *endpoint, *options;
    RPC_STATUS status;
    char const* text;
  } const cases[] = {
      {nullptr, "ncacn_ip_tcp", nullptr, nullptr, nullptr, RPC_S_OK, "ncacn_ip_tcp:"},
      {"", "ncacn_ip_tcp", "", "", "", RPC_S_OK, "ncacn_ip_tcp:"},
      {nullptr, "ncacn_ip_tcp", "host", "135", nullptr, RPC_S_OK, "ncacn_ip_tcp:host[135]"},
      {"u", "ncadg_ip_udp", "10.0.0.1", "7", "a=b,c=d", RPC_S_OK, "u@ncadg_ip_udp:10.0.0.1[7,a=b,c=d]"},
      {nullptr, "ncalrpc", nullptr, nullptr, "opt", RPC_S_OK, "ncalrpc:[,opt]"},
      {nullptr, "", nullptr, nullptr, nullptr, RPC_S_OK, ":"},  // judged when it becomes a handle
      {nullptr, "ncacn_ip_tcp", "fe80::1", nullptr, nullptr, RPC_S_OK, "ncacn_ip_tcp:fe80::1"},
      {nullptr, nullptr, "host", nullptr, nullptr, RPC_S_INVALID_RPC_PROTSEQ, nullptr},
      {"a@b", "ncacn_ip_tcp", nullptr, nullptr, nullptr, RPC_S_INVALID_STRING_BINDING, nullptr},
      {"a:b", "ncacn_ip_tcp", nullptr, nullptr, nullptr, RPC_S_INVALID_STRING_BINDING, nullptr},
      {nullptr, "nca:cn", nullptr, nullptr, nullptr, RPC_S_INVALID_STRING_BINDING, nullptr},
      {nullptr, "ncacn_ip_tcp", "ho[st", nullptr, nullptr, RPC_S_INVALID_STRING_BINDING, nullptr},
      {nullptr, "ncacn_ip_tcp", "a@b", nullptr, nullptr, RPC_S_INVALID_STRING_BINDING, nullptr},
      {nullptr, "ncacn_ip_tcp", nullptr, "1,2", nullptr, RPC_S_INVALID_STRING_BINDING, nullptr},
      {nullptr, "ncacn_ip_tcp", nullptr, "1]", nullptr, RPC_S_INVALID_STRING_BINDING, nullptr},
      {nullptr, "ncacn_ip_tcp", nullptr, nullptr, "x]y", RPC_S_INVALID_STRING_BINDING, nullptr},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(std::string(c.protseq != nullptr ? c.protseq : "(null)") + " " + (c.text ? c.text : ""));
    std::string text = "untouched";
    EXPECT_EQ(ComposeStringBinding(c.uuid, c.protseq, c.address, c.endpoint, c.options, &text), c.status);
    EXPECT_EQ(text, c.text != nullptr ? c.text : "untouched");
  }
}

TEST(RpcStringBindings, Parse) {
  struct Case {
    char const* text;
    RPC_STATUS status;
    StringBindingParts parts;
  } const cases[] = {
      {"ncacn_ip_tcp:", RPC_S_OK, {"", "ncacn_ip_tcp", "", "", ""}},
      {"u@ncacn_ip_tcp:host[135,a=b,c]", RPC_S_OK, {"u", "ncacn_ip_tcp", "host", "135", "a=b,c"}},
      {"ncalrpc:[name]", RPC_S_OK, {"", "ncalrpc", "", "name", ""}},
      {"ncalrpc:[,opt]", RPC_S_OK, {"", "ncalrpc", "", "", "opt"}},
      {"ncacn_ip_tcp:fe80::1[80]", RPC_S_OK, {"", "ncacn_ip_tcp", "fe80::1", "80", ""}},
      {"ncacn_ip_tcp:host[]", RPC_S_OK, {"", "ncacn_ip_tcp", "host", "", ""}},
      {"@ncacn_ip_tcp:", RPC_S_OK, {"", "ncacn_ip_tcp", "", "", ""}},
      {"", RPC_S_INVALID_STRING_BINDING, {}},
      {"ncacn_ip_tcp", RPC_S_INVALID_STRING_BINDING, {}},
      {"ncacn_ip_tcp:host[135", RPC_S_INVALID_STRING_BINDING, {}},
      {"ncacn_ip_tcp:host[135]x", RPC_S_INVALID_STRING_BINDING, {}},
      {"ncacn_ip_tcp:host]", RPC_S_INVALID_STRING_BINDING, {}},
      {"ncacn_ip_tcp:host[[1]]", RPC_S_INVALID_STRING_BINDING, {}},
      {"a@b@ncacn_ip_tcp:", RPC_S_INVALID_STRING_BINDING, {}},
      {"ncacn_ip_tcp:u@host", RPC_S_INVALID_STRING_BINDING, {}},
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(c.text);
    StringBindingParts parts;
    ASSERT_EQ(ParseStringBinding(c.text, &parts), c.status);
    if (c.status != RPC_S_OK) continue;
    EXPECT_EQ(parts.object_uuid, c.parts.object_uuid);
    EXPECT_EQ(parts.protseq, c.parts.protseq);
    EXPECT_EQ(parts.address, c.parts.address);
    EXPECT_EQ(parts.endpoint, c.parts.endpoint);
    EXPECT_EQ(parts.options, c.parts.options);
  }
}

// Whatever composes reads back into the same parts (a null part reading back
// empty); whatever does not compose holds a delimiter.
TEST(RpcStringBindings, ComposedBindingsReadBack) {
  std::mt19937 random(20240607);
  char const alphabet[] = "ab19.-_@:[],= ";
  auto part = [&]() -> std::string {
    std::string text;
    int length = static_cast<int>(random() % 5);
    for (int i = 0; i < length; ++i) text.push_back(alphabet[random() % (sizeof alphabet - 1)]);
    return text;
  };
  int composed = 0;
  for (int round = 0; round < 5000; ++round) {
    std::string uuid = part(), protseq = part() + "p", address = part(), endpoint = part(), options = part();
    std::string text;
    if (ComposeStringBinding(uuid.c_str(), protseq.c_str(), address.c_str(), endpoint.c_str(), options.c_str(),
                             &text) != RPC_S_OK) {
      continue;
    }
    ++composed;
    SCOPED_TRACE(text);
    StringBindingParts parts;
    ASSERT_EQ(ParseStringBinding(text, &parts), RPC_S_OK);
    EXPECT_EQ(parts.object_uuid, uuid);
    EXPECT_EQ(parts.protseq, protseq);
    EXPECT_EQ(parts.address, address);
    EXPECT_EQ(parts.endpoint, endpoint);
    EXPECT_EQ(parts.options, options);
  }
  EXPECT_GT(composed, 100);  // the property was not vacuous
}

TEST(RpcStringBindings, UuidsPortsAndLocalEndpoints) {
  EXPECT_TRUE(brindle::detail::IsUuidText("12345678-9abc-DEF0-1234-56789abcdef0"));
  EXPECT_TRUE(brindle::detail::IsUuidText("00000000-0000-0000-0000-000000000000"));
  for (char const* bad : {"", "12345678-9abc-def0-1234-56789abcdef", "12345678-9abc-def0-1234_56789abcdef0",
                          "1234567g-9abc-def0-1234-56789abcdef0", "{12345678-9abc-def0-1234-56789abcdef0}"}) {
    EXPECT_FALSE(brindle::detail::IsUuidText(bad)) << bad;
  }
  struct Port {
    char const* text;
    unsigned int port;
  } const ports[] = {{"1", 1}, {"135", 135}, {"65535", 65535}, {"0", 0}, {"65536", 0}, {"", 0},
                     {"-1", 0}, {"12a", 0}, {"000080", 0}, {"00080", 80}};
  for (auto const& p : ports) EXPECT_EQ(brindle::detail::ParsePort(p.text), p.port) << p.text;

  std::string directory = brindle::detail::LocalSocketDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_EQ(brindle::detail::LocalEndpointPath("lrpc-1"), directory + "/lrpc-1");
  EXPECT_EQ(brindle::detail::LocalEndpointPath("/run/some.sock"), "/run/some.sock");
  for (char const* bad : {"", ".", "..", "a/b", "../x", "sp ace", "semi;colon"}) {
    EXPECT_EQ(brindle::detail::LocalEndpointPath(bad), "") << bad;
  }
  EXPECT_EQ(brindle::detail::LocalEndpointPath("/" + std::string(120, 'x')), "");
}

TEST(RpcUniversalAddresses, InetRoundTrip) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(0x7F000001u);
  for (unsigned int port : {1u, 111u, 256u, 40000u, 65535u}) {
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    std::string uaddr = brindle::detail::InetUniversalAddress(address);
    EXPECT_EQ(brindle::detail::UniversalAddressPort(uaddr), port) << uaddr;
  }
  address.sin_port = htons(111);
  EXPECT_EQ(brindle::detail::InetUniversalAddress(address), "127.0.0.1.0.111");
  for (char const* bad : {"", "1.2", "127.0.0.1.256.1", "127.0.0.1.a.1", "/run/x.sock"}) {
    EXPECT_EQ(brindle::detail::UniversalAddressPort(bad), 0u) << bad;
  }
}

}  // namespace
