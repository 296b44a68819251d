// benchkit-python: installs the Python configuration, wires the live services
// to the window's root model, and opens the one window.

#include <QtQml/qqmlextensionplugin.h>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <cstdio>

#include "app/screen_tour.h"
#include "app/single_instance.h"
#include "engine/config/product_config.h"
#include "engine/platform/app_services.h"
#include "engine/telemetry/run_lifecycle.h"
#include "engine/telemetry/telemetry_service.h"
#include "engine/workflow/python_render_policy.h"
#include "ui/qt_executor.h"
#include "ui/qt_platform_services.h"
#include "ui/root_model.h"

Q_IMPORT_QML_PLUGIN(BenchkitPlugin)

int main(int argc, char* argv[]) {
  // Before anything reads it: from here on every reader sees the Python product.
  bnch::ProductConfig::setCurrent(bnch::ProductConfig::python());

  QGuiApplication app(argc, argv);
  QGuiApplication::setApplicationName(QString::fromStdString(bnch::ProductConfig::current().displayName));
  bnch::applyAppearanceOverride();

  bnch::SingleInstance instance;
  if (!instance.isFirst()) {
    std::fprintf(stderr, "Benchkit for Python is already open.\n");
    return 0;
  }

  // The shared telemetry service lives until the process ends; the policy's
  // outcome events and the flow's events go through it.
  std::shared_ptr<bnch::UsageEventTracking> tracker(&bnch::TelemetryService::shared(),
                                                    [](bnch::UsageEventTracking*) {});
  bnch::setPythonPolicyEventTracker(tracker);

  bnch::ui::QtPlatformServices platform;
  bnch::ui::RootModel root({
      .services = bnch::AppServices::live(),
      .config = bnch::ProductConfig::current(),
      .tracker = tracker,
      .lifecycle = &bnch::RunLifecycle::shared(),
      .runID = bnch::TelemetryService::shared().runIDString(),
      .executor = std::make_shared<bnch::ui::QtExecutor>(),
      .platform = &platform,
  });
  platform.setAlertPresenter([&root](const bnch::ui::Alert& alert) { root.presentAlert(alert); });
  root.installQuitGuard(&app);

  QQmlApplicationEngine engine;
  engine.setInitialProperties({{QStringLiteral("app"), QVariant::fromValue(&root)}});
  engine.load(QUrl(QStringLiteral("qrc:/Benchkit/Main.qml")));
  if (engine.rootObjects().isEmpty()) return 1;
  auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().constFirst());
  if (!window) return 1;
  platform.setWindow(&engine, window);
  instance.raiseOnLaterLaunch(window);
  bnch::startScreenTourIfAsked(*window);

  return app.exec();
}
