#include "app/main_window/command_texts.h"

namespace ql {
namespace {

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

}  // namespace

QString CloneQuestion(const QString& subject) {
  return QStringLiteral("Clone the current fax?\r\n(subject: ") + Quoted(subject) + QLatin1Char(')');
}

QString DeleteOutgoingQuestion(const QString& subject) {
  return QStringLiteral("Delete the current fax?\r\n(subject: ") + Quoted(subject) + QLatin1Char(')');
}

QString DeleteReceivedQuestion(const QString& from) {
  return QStringLiteral("Delete the current fax?\r\n(from: ") + Quoted(from) + QLatin1Char(')');
}

QString ArchiveQuestion(bool archived, bool outgoing, const QString& name) {
  QString text = archived ? QStringLiteral("UnArchive the current fax?") : QStringLiteral("Archive the current fax?");
  text += QLatin1Char('\r');
  if (outgoing)
    text += name.isEmpty() ? QStringLiteral("(no subject)") : QStringLiteral("(subject: ") + name + QLatin1Char(')');
  else if (!name.isEmpty())
    text += QStringLiteral("(from: ") + name + QLatin1Char(')');
  return text;
}

QString ForwardQuestion(const QString& from) {
  return QStringLiteral("Forward the current fax to be sent?\r\n(from: ") + from + QLatin1Char(')');
}

}  // namespace ql
