#include "platform/inputsources/fcitx/Fcitx5InputSources.h"

#include <QDBusArgument>

namespace vellotype {
namespace {

const QString kService = QStringLiteral("org.fcitx.Fcitx5");
const QString kControllerPath = QStringLiteral("/controller");
const QString kController = QStringLiteral("org.fcitx.Fcitx.Controller1");
constexpr int kCallTimeoutMs = 250;

}  // namespace

Fcitx5InputSources::Fcitx5InputSources(QDBusConnection sessionBus, LatinLayouts& latinLayouts)
    : sessionBus_(std::move(sessionBus)), latinLayouts_(latinLayouts) {}

bool Fcitx5InputSources::isRunning() {
  const auto reply =
      call(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
           QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"), {kService});
  return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
         reply.arguments().constFirst().toBool();
}

std::optional<InputSource> Fcitx5InputSources::current() {
  const auto name = stringReply(QStringLiteral("CurrentInputMethod"));
  if (!name || name->isEmpty()) return std::nullopt;
  return sourceFor(name->toStdString());
}

std::optional<std::vector<InputSource>> Fcitx5InputSources::enabledASCIICapableSources() {
  const auto group = stringReply(QStringLiteral("CurrentInputMethodGroup"));
  if (!group) return std::nullopt;
  // (default layout, [(input method, layout)]), the input methods in the user's order.
  const auto reply = callController(QStringLiteral("InputMethodGroupInfo"), {*group});
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2) {
    return std::nullopt;
  }
  const auto items = qvariant_cast<QDBusArgument>(reply.arguments().at(1));
  if (items.currentSignature() != QStringLiteral("a(ss)")) return std::nullopt;
  std::vector<InputSource> sources;
  items.beginArray();
  while (!items.atEnd()) {
    QString name;
    QString layout;
    items.beginStructure();
    items >> name >> layout;
    items.endStructure();
    if (auto source = sourceFor(name.toStdString()); source.isASCIICapable) {
      sources.push_back(std::move(source));
    }
  }
  items.endArray();
  return sources;
}

void Fcitx5InputSources::select(const InputSource& source) {
  callController(QStringLiteral("SetCurrentIM"), {QString::fromStdString(source.identifier)});
}

std::optional<KeyboardLayout> Fcitx5InputSources::layoutOf(std::string_view inputMethod) {
  constexpr std::string_view kPrefix = "keyboard-";
  if (!inputMethod.starts_with(kPrefix)) return std::nullopt;
  inputMethod.remove_prefix(kPrefix.size());
  // Layout names have no dash; variant names may ("us-alt-intl").
  const auto dash = inputMethod.find('-');
  KeyboardLayout layout{.layout = std::string(inputMethod.substr(0, dash)), .variant = {}};
  if (layout.layout.empty()) return std::nullopt;
  if (dash != std::string_view::npos) layout.variant = std::string(inputMethod.substr(dash + 1));
  return layout;
}

InputSource Fcitx5InputSources::sourceFor(const std::string& inputMethod) {
  return InputSource{.identifier = inputMethod,
                     .isASCIICapable = latinLayouts_.typesLatinLetters(layoutOf(inputMethod))};
}

std::optional<QString> Fcitx5InputSources::stringReply(const QString& method) {
  const auto reply = callController(method);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
    return std::nullopt;
  }
  return reply.arguments().constFirst().toString();
}

QDBusMessage Fcitx5InputSources::callController(const QString& method,
                                                const QList<QVariant>& arguments) {
  return call(kService, kControllerPath, kController, method, arguments);
}

QDBusMessage Fcitx5InputSources::call(const QString& service, const QString& path,
                                      const QString& interface, const QString& method,
                                      const QList<QVariant>& arguments) {
  auto message = QDBusMessage::createMethodCall(service, path, interface, method);
  message.setArguments(arguments);
  // Fcitx5 installs a bus activation file: a call must never be what starts it.
  message.setAutoStartService(false);
  return sessionBus_.call(message, QDBus::Block, kCallTimeoutMs);
}

}  // namespace vellotype
