#pragma once
// Why a request to a unit brought no values: the link's one vocabulary of errors, the same on
// every platform. The socket layer maps its own numbers (errno, Winsock's codes) into it
// (net::errorKind); callers decide on the kind, never on a number.

namespace qn {

enum class LinkErrorKind {
    TimedOut,       // the unit did not answer (or connect) in time
    Refused,        // nothing listens at the unit's address
    ConnectionLost, // the connection broke, or the session is stopping
    Malformed,      // a reply that stayed short of its length, or not of the reply's form
    Unreachable,    // no host, not an address, no route
};

} // namespace qn
