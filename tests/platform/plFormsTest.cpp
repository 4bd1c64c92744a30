// Embedded forms and the align layout.

#include "core/cuUtils.h"
#include "platform/plAlignLayout.h"
#include "platform/plForms.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <stdexcept>

namespace {

struct TPageForm : QWidget {
    explicit TPageForm(QWidget* owner) : QWidget(owner, Qt::Window) { resize(120, 80); }
};

struct TFailingForm : QWidget {
    explicit TFailingForm(QWidget*) { throw std::runtime_error("construction failed"); }
};

TEST(CreateEmbeddedForm, MakesAFramelessChildWithItsClientSize) {
    QWidget host;
    host.resize(400, 300);
    TPageForm* form = nullptr;
    CreateEmbeddedForm(form, &host, TAlign::None, false);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->parentWidget(), &host);
    EXPECT_FALSE(form->isWindow());
    EXPECT_EQ(form->size(), QSize(120, 80));
    EXPECT_TRUE(form->isHidden());
    EXPECT_EQ(WidgetAlign(form), TAlign::None);
    EXPECT_NE(dynamic_cast<TAlignLayout*>(host.layout()), nullptr);
    // a failed construction leaves nil and passes the exception
    TFailingForm* failing = reinterpret_cast<TFailingForm*>(&host);
    EXPECT_THROW(CreateEmbeddedForm(failing, &host, TAlign::Client, true), std::runtime_error);
    EXPECT_EQ(failing, nullptr);
    EXPECT_EQ(host.findChildren<QWidget*>().size(), 1);
}

TEST(AlignLayout, StripsInKindOrderThenClient) {
    QWidget host;
    host.resize(400, 300);
    TPageForm *client = nullptr, *top = nullptr, *left = nullptr, *right = nullptr, *bottom = nullptr,
              *top2 = nullptr;
    CreateEmbeddedForm(client, &host, TAlign::Client, true);  // added first, laid out last
    CreateEmbeddedForm(top, &host, TAlign::Top, true);
    CreateEmbeddedForm(left, &host, TAlign::Left, true);
    CreateEmbeddedForm(right, &host, TAlign::Right, true);
    CreateEmbeddedForm(bottom, &host, TAlign::Bottom, true);
    CreateEmbeddedForm(top2, &host, TAlign::Top, true);
    host.layout()->setGeometry(host.rect());
    EXPECT_EQ(top->geometry(), QRect(0, 0, 400, 80));
    EXPECT_EQ(top2->geometry(), QRect(0, 80, 400, 80));
    EXPECT_EQ(bottom->geometry(), QRect(0, 220, 400, 80));
    EXPECT_EQ(left->geometry(), QRect(0, 160, 120, 60));
    EXPECT_EQ(right->geometry(), QRect(280, 160, 120, 60));
    EXPECT_EQ(client->geometry(), QRect(120, 160, 160, 60));

    // A hidden child gives its strip up.
    top2->hide();
    host.layout()->setGeometry(host.rect());
    EXPECT_EQ(client->geometry(), QRect(120, 80, 160, 140));

    // Strips never pass the free space.
    top->resize(400, 900);
    host.layout()->setGeometry(host.rect());
    EXPECT_EQ(top->geometry(), QRect(0, 0, 400, 300));
    EXPECT_EQ(client->geometry().height(), 0);
}

}  // namespace
