// benchkit-python: installs the Python configuration, wires the live services
// to the window's root model, and opens the one window.

#include <QtQml/qqmlextensionplugin.h>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <cstdio>
#include <utility>

#if BNCH_AUTOMATION
#include "app/automation.h"
#endif
#include "app/screen_tour.h"
#include "app/single_instance.h"
#include "engine/platform/app_services.h"
#include "engine/product/live_runtime.h"
#include "engine/product/python_product.h"
#include "engine/product/python_render_policy.h"
#include "engine/workflow/product_config.h"
#include "ui/qt_executor.h"
#include "ui/qt_platform_services.h"
#include "ui/root_model.h"

Q_IMPORT_QML_PLUGIN(BenchkitPlugin)

int main(int argc, char* argv[]) {
  // Before anything reads it: from here on every reader sees the Python product.
#if BNCH_AUTOMATION
  bnch::ProductConfig::setCurrent(bnch::networkCheckRedirectedIfAsked(bnch::pythonProduct()));
#else
  bnch::ProductConfig::setCurrent(bnch::pythonProduct());
#endif

  QGuiApplication app(argc, argv);
  QGuiApplication::setApplicationName(QString::fromStdString(bnch::ProductConfig::current().displayName));
  bnch::applyAppearanceOverride();

  bnch::SingleInstance instance;
  if (!instance.isFirst()) {
    std::fprintf(stderr, "Benchkit for Python is already open.\n");
    return 0;
  }

  // The telemetry service, the run lifecycle and the once-only markers live until
  // the process ends (never deleted: telemetry workers may still be finishing a
  // request while it exits); the policy's outcome events and the flow's events go
  // through the one telemetry service.
  const bnch::AppServices services = bnch::AppServices::live();
  bnch::TelemetryConfiguration telemetry = bnch::TelemetryConfiguration::live(services, bnch::ProductConfig::current());
#if BNCH_AUTOMATION
  bnch::redirectTelemetryIfAsked(telemetry, services);
#endif
  auto* runtime = new bnch::LiveRuntime(services, std::move(telemetry));
  const std::shared_ptr<bnch::UsageEventTracking> tracker = runtime->telemetry();
  bnch::setPythonPolicyEventTracker(tracker);

  bnch::ui::QtPlatformServices platform;
  bnch::ui::RootModel root({
      .services = services,
      .config = bnch::ProductConfig::current(),
      .tracker = tracker,
      .onceOnly = runtime->onceOnly(),
      .lifecycle = &runtime->lifecycle(),
      .runID = runtime->telemetry()->runIDString(),
      .executor = std::make_shared<bnch::ui::QtExecutor>(),
      .platform = &platform,
      .remediationRunner =
          [services](const bnch::SystemProfile& profile) {
            return bnch::makeLiveRemediationRunner(services, bnch::ProductConfig::current(), profile);
          },
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
#if BNCH_AUTOMATION
  bnch::startAutomationIfAsked(*window);
#endif

  return app.exec();
}
