// The tray's icon drawing and its menu, through the real Qt objects.

#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QMenu>

#include "platform/qt/QtMenuView.h"
#include "platform/qt/VectorIconEngine.h"
#include "visual/StatusBarIcon.h"

namespace vellotype {
namespace {

TEST(VectorIconEngine, DrawsTheStrokesInTheirColourAtAnySizeAndPixelDensity) {
  for (const auto& [size, density] : {std::pair{18, 1.0}, {36, 1.0}, {18, 2.0}}) {
    QIcon icon(new VectorIconEngine(StatusBarIcon::image(false), Qt::red));
    const QImage image = icon.pixmap(QSize(size, size), density).toImage();
    ASSERT_EQ(image.width(), int(size * density));
    const double scale = size * density / 18.0;
    // Drawing coordinates grow upwards; image rows grow downwards.
    const auto at = [&](double x, double y) {
      return image.pixelColor(int(x * scale), int((18 - y) * scale));
    };
    // Strokes are antialiased: a pixel they cross is mostly, not wholly, covered.
    EXPECT_EQ(at(14, 9).red(), 255) << "the cursor stem, at " << size;
    EXPECT_GT(at(14, 9).alpha(), 150);
    EXPECT_GT(at(6.9, 9).alpha(), 150) << "the tallest stroke";
    EXPECT_EQ(at(1, 1).alpha(), 0) << "clear around the drawing";
    EXPECT_EQ(at(4.2, 14).alpha(), 0) << "above the first stroke";
  }
}

TEST(QtMenuView, ShowsTheModelAndStaysInStepWithIt) {
  auto model = std::make_shared<Menu>();
  int performed = 0;
  auto& enabled = model->addItem("Enabled", [&](MenuItem& item) {
    ++performed;
    item.setState(item.state() == MenuItem::State::on ? MenuItem::State::off : MenuItem::State::on);
  });
  enabled.setState(MenuItem::State::on);
  model->addSeparator();
  auto submenu = std::make_shared<Menu>("Language");
  submenu->addItem("English (US)", [&](MenuItem&) { ++performed; });
  model->addItem("Language").setSubmenu(submenu);
  model->addItem("Disabled");

  QtMenuView view(model);
  const auto actions = view.menu()->actions();
  ASSERT_EQ(actions.size(), 4);
  EXPECT_EQ(actions[0]->text(), "Enabled");
  EXPECT_TRUE(actions[0]->isChecked());
  EXPECT_TRUE(actions[1]->isSeparator());
  EXPECT_EQ(actions[2]->menu()->actions().at(0)->text(), "English (US)");
  EXPECT_FALSE(actions[2]->menu()->actions().at(0)->isCheckable()) << "no empty check box";
  EXPECT_FALSE(actions[3]->isEnabled()) << "an item without an action cannot be chosen";

  actions[0]->trigger();
  EXPECT_EQ(performed, 1);
  EXPECT_FALSE(actions[0]->isChecked());
  enabled.setTitle("On");
  EXPECT_EQ(actions[0]->text(), "On");
  actions[2]->menu()->actions().at(0)->trigger();
  EXPECT_EQ(performed, 2);
}

}  // namespace
}  // namespace vellotype
