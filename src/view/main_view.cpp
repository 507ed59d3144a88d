// Placeholder until the diagram, the panels and the status bar are drawn: keeps
// the interface the main window is built against.
#include "view/main_view.h"

namespace tarn {

struct MainView::Impl {
    int progress = 0;
};

MainView::MainView(QWidget* parent) : QWidget(parent), impl_(new Impl) {}
MainView::~MainView() { delete impl_; }

void MainView::SetCellFontHeight(int) {}
void MainView::RepaintNow() { repaint(); }
void MainView::SetStatusMessage(const std::string&) {}
void MainView::SetProgress(int percent) { impl_->progress = percent < 0 ? 0 : percent > 100 ? 100 : percent; }
int MainView::Progress() const { return impl_->progress; }
void MainView::DrawClockField() {}
void MainView::DrawAnalogValue(int, int, int) {}
void MainView::DrawDigitalState(int, int, int) {}
int MainView::HitTestElement(int, int) const { return 0; }

} // namespace tarn
