// What the delivery tests under Wine share: the local server reached through the proxy
// setting, recorders in place of the message boxes and the browser, a scratch folder and a
// reader of multipart bodies.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "delivery/reply_judging.h"
#include "tests/win/delivery_proxy_route.h"
#include "tests/win/delivery_test_server.h"

struct Notice {
  std::string text;
  std::string caption;  // "" for an opened web address
};

// Everything shown to the user or opened since the last Clear, in order.
std::vector<Notice>& RecordedNotices();

// One part of a multipart body.
struct BodyPart {
  std::string disposition;  // the Content-Disposition line's value
  std::string contentType;  // "" for a text field
  std::string data;
};

// Splits a body on "--boundary" lines. Returns false when the layout is not the expected one
// (every part ends with CRLF before the next delimiter, the body ends with the closing one).
bool SplitMultipart(const std::string& body, const std::string& boundary,
                    std::vector<BodyPart>* parts);
// The boundary named in a Content-Type header value, or "".
std::string BoundaryOf(const std::string& contentType);

std::string WriteBytes(const std::string& path, const std::string& bytes);
std::string PatternBytes(size_t count, unsigned seed);

// A server of its own and the proxy route to it, recorders for the notices, and a scratch
// folder that is the current folder during the test.
class DeliveryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The one request the server got, checked to be complete.
  RecordedRequest OnlyRequest();

  TestServer server;
  std::string folder;  // ends with a backslash

 private:
  char savedFolder_[MAX_PATH] = {};
};
