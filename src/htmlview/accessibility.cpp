#include "htmlview/accessibility.h"

#include "htmlview/html_view.h"
#include "htmlview/view_focus.h"

#include <QPointer>
#include <QScrollBar>

namespace htmlview {

namespace {

AccessibleEventSink eventSink = nullptr;

void send(QAccessibleEvent& event)
{
    if (eventSink)
        eventSink(&event);
    else
        QAccessible::updateAccessibility(&event);
}

QRect toScreen(const HtmlView& view, const QRectF& pageRect)
{
    const QPointF scroll(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value());
    const QRect r = pageRect.translated(-scroll).toAlignedRect();
    return QRect(view.viewport()->mapToGlobal(r.topLeft()), r.size());
}

bool offscreen(const HtmlView& view, const QRectF& pageRect)
{
    const QPointF scroll(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value());
    return !QRectF(view.viewport()->rect()).intersects(pageRect.translated(-scroll));
}

// Runs after the call that asked has returned: a tool's request must not wait on a dialog.
template <typename F> void later(HtmlView* view, F&& f)
{
    QMetaObject::invokeMethod(view, std::forward<F>(f), Qt::QueuedConnection);
}

// A child of the document: valid while the view lives and shows the same document and groups.
class PageChild : public QAccessibleInterface {
public:
    PageChild(HtmlView* view) : FView(view), FGeneration(view->focusModel().generation()) {}

    bool isValid() const override
    {
        return FView && FView->focusModel().generation() == FGeneration;
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override
    {
        return FView && FView->window() ? FView->window()->windowHandle() : nullptr;
    }
    void setText(QAccessible::Text, const QString&) override {}

protected:
    ViewFocus& focus() const { return FView->focusModel(); }
    AccessibleTree& tree() const { return FView->focusModel().accessible(); }

    QPointer<HtmlView> FView;
    quint64 FGeneration;
};

class LinkAccessible : public PageChild, public QAccessibleActionInterface {
public:
    LinkAccessible(HtmlView* view, int link) : PageChild(view), FLink(link) {}

    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override
    {
        if (!isValid())
            return nullptr;
        const int group = focus().groupOfLink(FLink);
        return group >= 0 ? tree().groupInterface(group)
                          : QAccessible::queryAccessibleInterface(FView.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        const QString target = focus().linkTarget(FLink);
        switch (t) {
        case QAccessible::Name: {
            QString name = focus().linkText(FLink);
            if (name.isEmpty() && focus().description())
                name = focus().description()->linkName(target);
            return name.isEmpty() ? target : name;
        }
        case QAccessible::Description:
        case QAccessible::Value:
            return target;
        default:
            return {};
        }
    }
    QRect rect() const override
    {
        if (!isValid())
            return {};
        QRectF r;
        for (const QRectF& part : focus().linkRects(FLink))
            r = r.isNull() ? part : r.united(part);
        return toScreen(*FView, r);
    }
    QAccessible::Role role() const override { return QAccessible::Link; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.focusable = true;
        s.linked = true;
        s.focused = FView->hasFocus() && focus().focusedLink() == FLink;
        const std::vector<QRectF> rects = focus().linkRects(FLink);
        s.offscreen = rects.empty() || offscreen(*FView, rects.front());
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override { return {pressAction(), setFocusAction()}; }
    void doAction(const QString& name) override
    {
        if (!isValid())
            return;
        HtmlView* view = FView;
        const int link = FLink;
        const quint64 generation = FGeneration;
        later(view, [view = QPointer<HtmlView>(view), link, generation, name] {
            if (!view || view->focusModel().generation() != generation)
                return;
            if (name == QAccessibleActionInterface::setFocusAction()) {
                view->setFocus(Qt::OtherFocusReason);
                view->focusModel().setFocusedLink(link);
            } else if (name == QAccessibleActionInterface::pressAction()) {
                view->focusModel().activateLink(link);
            }
        });
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    int link() const { return FLink; }

private:
    int FLink;
};

class RowAccessible : public PageChild, public QAccessibleActionInterface {
public:
    RowAccessible(HtmlView* view, int group) : PageChild(view), FGroup(group) {}

    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface* c = child(i);
            if (c && c->rect().contains(x, y))
                return c;
        }
        return nullptr;
    }
    QAccessibleInterface* parent() const override
    {
        return FView ? QAccessible::queryAccessibleInterface(FView.data()) : nullptr;
    }
    QAccessibleInterface* child(int index) const override
    {
        if (!isValid())
            return nullptr;
        const auto [begin, end] = focus().groupLinks(FGroup);
        if (index < 0 || index >= end - begin)
            return nullptr;
        return tree().linkInterface(focus().focusOrder()[size_t(begin + index)]);
    }
    int childCount() const override
    {
        if (!isValid())
            return 0;
        const auto [begin, end] = focus().groupLinks(FGroup);
        return end - begin;
    }
    int indexOfChild(const QAccessibleInterface* c) const override
    {
        const auto* link = dynamic_cast<const LinkAccessible*>(c);
        if (!isValid() || !link || !link->isValid() || focus().groupOfLink(link->link()) != FGroup)
            return -1;
        return focus().focusIndex(link->link()) - focus().groupLinks(FGroup).first;
    }
    int group() const { return FGroup; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || !focus().description())
            return {};
        const HtmlRowGroup& group = focus().groups()[size_t(FGroup)];
        switch (t) {
        case QAccessible::Name:
            return focus().description()->name(group);
        case QAccessible::Description:
            return focus().description()->description(group);
        default:
            return {};
        }
    }
    QRect rect() const override
    {
        return isValid() ? toScreen(*FView, focus().groupRect(FGroup)) : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::Row; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const bool current = focus().current() == FGroup;
        s.focusable = true;
        s.selectable = true;
        s.selected = current;
        s.active = current;
        s.focused = current && FView->hasFocus() && focus().focusedLink() < 0;
        s.offscreen = offscreen(*FView, focus().groupRect(FGroup));
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (isValid() && focus().description())
            names = focus().description()->actions(focus().groups()[size_t(FGroup)]);
        names.append(setFocusAction());
        return names;
    }
    void doAction(const QString& name) override
    {
        if (!isValid())
            return;
        const int group = FGroup;
        const quint64 generation = FGeneration;
        later(FView.data(), [view = FView, group, generation, name] {
            if (!view || view->focusModel().generation() != generation)
                return;
            view->setFocus(Qt::OtherFocusReason);
            view->focusModel().setFocusedLink(-1);
            view->focusModel().setCurrent(group, true);
            if (name != QAccessibleActionInterface::setFocusAction())
                emit view->rowGroupAction(group, name);
        });
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    int FGroup;
};

class HtmlViewAccessible : public QAccessibleWidget {
public:
    explicit HtmlViewAccessible(HtmlView* view) : QAccessibleWidget(view, QAccessible::Document) {}

    HtmlView* view() const { return static_cast<HtmlView*>(widget()); }
    AccessibleTree& tree() const { return view()->focusModel().accessible(); }

    int childCount() const override { return tree().childCount(); }
    QAccessibleInterface* child(int index) const override { return tree().child(index); }
    int indexOfChild(const QAccessibleInterface* c) const override
    {
        if (const auto* row = dynamic_cast<const RowAccessible*>(c); row && row->isValid())
            return tree().indexOfGroup(row->group());
        if (const auto* link = dynamic_cast<const LinkAccessible*>(c); link && link->isValid())
            return tree().indexOfLink(link->link());
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        HtmlView* v = view();
        const QPoint local = v->viewport()->mapFromGlobal(QPoint(x, y));
        if (!v->viewport()->rect().contains(local))
            return nullptr;
        const QPointF page = QPointF(local) + QPointF(v->horizontalScrollBar()->value(),
                                                      v->verticalScrollBar()->value());
        const int group = v->focusModel().groupAt(page);
        return group >= 0 ? tree().groupInterface(group) : nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        return view()->hasFocus() ? tree().focusInterface() : nullptr;
    }
    QString text(QAccessible::Text t) const override
    {
        QString s = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && s.isEmpty())
            s = QStringLiteral("Page");
        return s;
    }
};

QAccessibleInterface* htmlViewFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("HtmlView") && object && object->isWidgetType())
        return new HtmlViewAccessible(static_cast<HtmlView*>(object));
    return nullptr;
}

} // namespace

void installHtmlViewAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(htmlViewFactory);
        return true;
    }();
    (void)installed;
}

void setAccessibleEventSink(AccessibleEventSink sink)
{
    eventSink = sink;
}

AccessibleTree::AccessibleTree(ViewFocus& focus) : FFocus(focus)
{
}

bool AccessibleTree::listened() const
{
    return eventSink ? FBuilt : QAccessible::isActive();
}

AccessibleTree::~AccessibleTree()
{
    dropInterfaces();
}

void AccessibleTree::dropInterfaces()
{
    for (const std::vector<QAccessible::Id>* ids : {&FGroupIds, &FLinkIds})
        for (QAccessible::Id id : *ids)
            if (id)
                QAccessible::deleteAccessibleInterface(id);
}

void AccessibleTree::invalidate()
{
    const bool wasBuilt = FBuilt;
    dropInterfaces();
    FGroupIds.clear();
    FLinkIds.clear();
    FEntries.clear();
    FGroupEntry.clear();
    FLinkEntry.clear();
    FBuilt = false;
    if (eventSink ? wasBuilt : QAccessible::isActive()) {
        QAccessibleEvent event(&FFocus.view(), QAccessible::ObjectReorder);
        send(event);
    }
}

void AccessibleTree::build()
{
    if (FBuilt)
        return;
    FBuilt = true;
    const int groups = int(FFocus.groups().size());
    const std::vector<int>& order = FFocus.focusOrder();
    FGroupIds.assign(size_t(groups), 0);
    FLinkIds.assign(size_t(FFocus.linkCount()), 0);
    FGroupEntry.assign(size_t(groups), -1);
    FLinkEntry.assign(size_t(FFocus.linkCount()), -1);
    FEntries.clear();
    FEntries.reserve(size_t(groups) + order.size() / 8);
    // Groups and the links outside them, merged by their place in the focus order.
    int next = 0; // position in `order`
    for (int g = 0; g < groups; ++g) {
        const auto [begin, end] = FFocus.groupLinks(g);
        for (; next < begin; ++next)
            addLink(order[size_t(next)]);
        FGroupEntry[size_t(g)] = int(FEntries.size());
        FEntries.push_back(g);
        next = std::max(next, end);
    }
    for (; next < int(order.size()); ++next)
        addLink(order[size_t(next)]);
}

void AccessibleTree::addLink(int link)
{
    FLinkEntry[size_t(link)] = int(FEntries.size());
    FEntries.push_back(-(link + 1));
}

int AccessibleTree::childCount()
{
    build();
    return int(FEntries.size());
}

QAccessibleInterface* AccessibleTree::child(int index)
{
    build();
    if (index < 0 || index >= int(FEntries.size()))
        return nullptr;
    const int entry = FEntries[size_t(index)];
    return entry >= 0 ? groupInterface(entry) : linkInterface(-entry - 1);
}

int AccessibleTree::indexOfGroup(int group)
{
    build();
    return group >= 0 && group < int(FGroupEntry.size()) ? FGroupEntry[size_t(group)] : -1;
}

int AccessibleTree::indexOfLink(int link)
{
    build();
    return link >= 0 && link < int(FLinkEntry.size()) ? FLinkEntry[size_t(link)] : -1;
}

template <typename Child>
QAccessibleInterface* AccessibleTree::cached(std::vector<QAccessible::Id>& ids, int index)
{
    build();
    if (index < 0 || index >= int(ids.size()))
        return nullptr;
    QAccessible::Id& id = ids[size_t(index)];
    if (id)
        return QAccessible::accessibleInterface(id);
    QAccessibleInterface* iface = new Child(&FFocus.view(), index);
    id = QAccessible::registerAccessibleInterface(iface);
    return iface;
}

QAccessibleInterface* AccessibleTree::groupInterface(int group)
{
    return cached<RowAccessible>(FGroupIds, group);
}

QAccessibleInterface* AccessibleTree::linkInterface(int link)
{
    return cached<LinkAccessible>(FLinkIds, link);
}

QAccessibleInterface* AccessibleTree::focusInterface()
{
    if (FFocus.focusedLink() >= 0)
        return linkInterface(FFocus.focusedLink());
    return FFocus.current() >= 0 ? groupInterface(FFocus.current()) : nullptr;
}

void AccessibleTree::notifyFocus()
{
    // Only when a tool listens: otherwise nothing is built.
    if (!listened())
        return;
    if (QAccessibleInterface* iface = focusInterface()) {
        QAccessibleEvent event(iface, QAccessible::Focus);
        send(event);
    }
}

} // namespace htmlview
