#pragma once
#include <QByteArray>
#include <QJsonObject>
#include <QSet>
#include <QStringList>

// An RDAP reply (RFC 9083) as readable lines: what a domain, an address
// block or an AS is, who holds it, its notices and remarks at the end. Only
// what is understood is shown; anything else is skipped, never shown as
// JSON. Every text of the reply goes through RdapSafeText.

enum class TRdapReplyKind { Object, NotJson, NotRdap };

struct TRdapReport {
  TRdapReplyKind Kind = TRdapReplyKind::NotJson;
  QStringList Lines;
  // A registry's "related" link to the registrar's record of a domain
  // (https:// only); empty for none.
  QString Related;
};

TRdapReport RdapReport(const QByteArray& json);

// A text of the reply made safe for one line of the pane, the log and a
// saved file: control characters (C0, DEL, C1), line and paragraph
// separators, direction overrides and the private-use characters that stand
// for raw bytes in the pane become "\XX" or "\uXXXX".
QString RdapSafeText(QStringView text);

// --- Shared by the two parts of the report (RdapReply.cpp, RdapEntity.cpp).

// The string member key of object, made safe; empty when absent.
QString RdapString(const QJsonObject& object, const QString& key);
// The entities of an object and those nested in them: roles, vCard name,
// organisation, e-mail, telephone and address (非公開 where redacted), the
// IANA ID of a registrar. indent: the depth, two blanks a step.
// redacted: the redacted fields the reply names, "registrant name" and so on.
void AddEntityLines(QStringList& lines, const QJsonObject& object, const QSet<QString>& redacted,
                    int depth = 0);
// "name (IANA ID 123)" of the registrar entity among the object's; empty for none.
QString RegistrarText(const QJsonObject& object);
