#pragma once
#include <QString>

// The form of a host name that goes onto the network. A name with a
// character beyond ASCII (日本語.jp, or letters typed full-width) becomes
// its ACE form ("xn--wgv71a119e.jp") as IDNA maps it (UTS #46); any other
// text is returned as it is, so an ASCII name keeps its letter case and
// every run of an ASCII name sends the same bytes as before. A name that
// cannot be converted is returned as it is, to end as one not found.
QString HostToAce(const QString& host);
