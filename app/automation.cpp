#include "app/automation.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QKeyEvent>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMouseEvent>
#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <cstdio>

#include "app/screen_tour.h"
#include "engine/platform/app_services.h"
#include "engine/telemetry/telemetry_configuration.h"
#include "engine/workflow/product_config.h"
#include "engine/workflow/spine_render_policy.h"

namespace bnch {

namespace {

constexpr const char* socketVariable = "BNCH_AUTOMATION_SOCKET";

QJsonObject failure(const QString& error) { return {{"ok", false}, {"error", error}}; }

// The first visible item below `item` whose text holds `text`.
QQuickItem* itemShowing(QQuickItem* item, const QString& text) {
  if (!item->isVisible()) return nullptr;
  if (const QVariant shown = item->property("text"); shown.isValid() && shown.toString().contains(text)) return item;
  for (QQuickItem* child : item->childItems()) {
    if (QQuickItem* found = itemShowing(child, text)) return found;
  }
  return nullptr;
}

class AutomationEndpoint : public QObject {
 public:
  AutomationEndpoint(QQuickWindow& window, const QString& path) : QObject(&window), window_(window) {
    QLocalServer::removeServer(path);
    connect(&server_, &QLocalServer::newConnection, this, &AutomationEndpoint::accept);
    if (!server_.listen(path)) {
      std::fprintf(stderr, "automation: couldn't listen on %s: %s\n", qPrintable(path),
                   qPrintable(server_.errorString()));
    }
  }

 private:
  void accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        while (socket->canReadLine()) {
          const QString line = QString::fromUtf8(socket->readLine()).chopped(1);
          socket->write(QJsonDocument(answer(line)).toJson(QJsonDocument::Compact) + '\n');
        }
      });
    }
  }

  QJsonObject answer(const QString& line) {
    // COMMAND [NAME [REST...]]: the rest keeps its spaces (texts to type or find).
    const QString command = line.section(' ', 0, 0);
    const QString name = line.section(' ', 1, 1);
    const QString rest = line.section(' ', 2);
    if (command == "find") return find(name);
    if (command == "text") {
      return {{"ok", true}, {"found", itemShowing(window_.contentItem(), line.section(' ', 1)) != nullptr}};
    }
    if (command == "screenshot") return screenshot(line.section(' ', 1));
    if (command == "close") {
      window_.close();
      return {{"ok", true}};
    }
    if (command == "quit") {
      // What the platform sends for the Quit menu item: the quit guard may refuse it.
      QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
      return {{"ok", true}};
    }
    if (command != "click" && command != "type" && command != "property") return failure("unknown command: " + command);

    QQuickItem* item = findVisibleItem(window_, name);
    if (!item) return failure("no visible control named " + name);
    if (command == "property") {
      const QVariant value = item->property(rest.toUtf8().constData());
      if (!value.isValid()) return failure(name + " has no property " + rest);
      return {{"ok", true}, {"value", QJsonValue::fromVariant(value)}};
    }
    if (!item->isEnabled()) return failure(name + " is disabled");
    if (!settled()) return failure("the window is still moving to the next screen");
    if (command == "click") {
      click(*item);
    } else {
      item->forceActiveFocus();
      typeText(rest);
    }
    return {{"ok", true}};
  }

  QJsonObject find(const QString& name) {
    QQuickItem* item = findVisibleItem(window_, name);
    QJsonObject answer{{"ok", true}, {"found", item != nullptr}, {"settled", settled()}};
    if (item) {
      answer["enabled"] = item->isEnabled();
      answer["text"] = item->property("text").toString();
    }
    return answer;
  }

  QJsonObject screenshot(const QString& file) {
    if (!window_.grabWindow().save(file)) return failure("couldn't save " + file);
    return {{"ok", true}};
  }

  bool settled() {
    QQuickItem* stack = findVisibleItem(window_, QStringLiteral("navigation-stack"));
    return !stack || !stack->property("busy").toBool();
  }

  void click(QQuickItem& item) {
    const QPointF point = item.mapToScene(QPointF(item.width() / 2, item.height() / 2));
    const QPointF global = window_.mapToGlobal(point);
    QMouseEvent press(QEvent::MouseButtonPress, point, point, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QGuiApplication::sendEvent(&window_, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, point, point, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QGuiApplication::sendEvent(&window_, &release);
  }

  void typeText(const QString& text) {
    for (const QChar character : text) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
      QGuiApplication::sendEvent(&window_, &press);
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(character));
      QGuiApplication::sendEvent(&window_, &release);
    }
  }

  QQuickWindow& window_;
  QLocalServer server_;
};

// The offscreen platform, which the end-to-end tests render with, opens no web
// address; this hands each to the program BROWSER names (in the simulated Mac,
// macOS's `open`), as a desktop platform would.
class BrowserStandIn : public QObject {
  Q_OBJECT

 public:
  BrowserStandIn(QObject* parent, QString browser) : QObject(parent), browser_(std::move(browser)) {
    for (const char* scheme : {"http", "https"}) QDesktopServices::setUrlHandler(scheme, this, "openUrl");
  }
  ~BrowserStandIn() override {
    for (const char* scheme : {"http", "https"}) QDesktopServices::unsetUrlHandler(scheme);
  }

 public slots:
  void openUrl(const QUrl& url) {
    if (!QProcess::startDetached(browser_, {url.toString()})) {
      std::fprintf(stderr, "automation: couldn't start %s for %s\n", qPrintable(browser_), qPrintable(url.toString()));
    }
  }

 private:
  QString browser_;
};

}  // namespace

void startAutomationIfAsked(QQuickWindow& window) {
  if (const QString path = qEnvironmentVariable(socketVariable); !path.isEmpty()) {
    new AutomationEndpoint(window, path);
    const QString browser = qEnvironmentVariable("BROWSER");
    if (QGuiApplication::platformName() == QLatin1String("offscreen") && !browser.isEmpty()) {
      new BrowserStandIn(&window, browser);
    }
  }
}

void redirectTelemetryIfAsked(TelemetryConfiguration& configuration, const AppServices& services) {
  if (qEnvironmentVariableIsEmpty(socketVariable)) return;
  if (const QString endpoint = qEnvironmentVariable("BNCH_AUTOMATION_TELEMETRY"); !endpoint.isEmpty()) {
    configuration.endpointURL = endpoint.toStdString();
    configuration.anonKey = "automation";
    configuration.urlSessionFactory = [http = services.http, key = configuration.anonKey] {
      return std::make_shared<TelemetryHTTPSession>(http, key);
    };
  }
}

ProductConfig networkCheckRedirectedIfAsked(const ProductConfig& product) {
  const QString url = qEnvironmentVariable("BNCH_AUTOMATION_NETWORK_CHECK");
  if (qEnvironmentVariableIsEmpty(socketVariable) || url.isEmpty() || !product.spinePolicy ||
      !product.spinePolicy->networkReadiness) {
    return product;
  }
  auto policy = std::make_shared<SpineRenderPolicy>(*product.spinePolicy);
  policy->networkReadiness->endpoints = {url.toStdString()};
  ProductConfig redirected = product;
  redirected.spinePolicy = std::move(policy);
  return redirected;
}

}  // namespace bnch

#include "automation.moc"
