#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signature.hpp"

namespace {

struct NameCase {
  const char* subject;
  const char* issuer;
  bool accepted;
};

TEST(SignatureNames, OnlyTheExactPublisherUnderTheExpectedIssuerPasses) {
  const NameCase cases[] = {
      {"Vantorel GmbH", "GlobalSign GCC R45 EV CodeSigning CA 2020", true},
      {"vantorel gmbh", "GlobalSign GCC R45 EV CodeSigning CA 2020", false},
      {"Vantorel GmbH ", "GlobalSign GCC R45 EV CodeSigning CA 2020", false},
      {"Vantorel", "GlobalSign GCC R45 EV CodeSigning CA 2020", false},
      {"", "GlobalSign GCC R45 EV CodeSigning CA 2020", false},
      {"Vantorel GmbH", "GlobalSign GCC R45 EV CodeSigning CA", false},
      {"Vantorel GmbH", "globalsign gcc r45 ev codesigning ca 2020", false},
      {"Vantorel GmbH", "", false},
  };
  for (const NameCase& c : cases) {
    const bool accepted = signature::names_publisher(
        [&](bool issuer) { return std::string(issuer ? c.issuer : c.subject); });
    EXPECT_EQ(accepted, c.accepted) << c.subject << " / " << c.issuer;
  }
}

TEST(SignatureNames, IssuerIsNotReadWhenTheSubjectFails) {
  std::vector<bool> asked;
  const bool accepted = signature::names_publisher([&](bool issuer) {
    asked.push_back(issuer);
    return std::string(issuer ? signature::ISSUER : "Someone Else");
  });
  EXPECT_FALSE(accepted);
  EXPECT_EQ(asked, std::vector<bool>{false});
}

}  // namespace
