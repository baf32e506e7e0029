#include "find/FindBar.h"

#include "find/LineKinds.h"
#include "find/MatchingLines.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>

namespace
{

QToolButton* Button(const QString& text, const QString& tip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

} // namespace

FindBar::FindBar(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    m_way = new QComboBox(this);
    m_way->setObjectName(QStringLiteral("findWay"));
    m_way->addItems({tr("Text"), tr("Pattern"), tr("Bytes")});
    m_way->setToolTip(tr("Text: the line as the log shows it, without its marker.\n"
                         "Pattern: as in Answers.TXT, over a reply's bytes as printable ASCII "
                         "and <hh>.\nBytes: hex pairs, as 02 41 42."));
    m_words = new QLineEdit(this);
    m_words->setObjectName(QStringLiteral("findWords"));
    m_words->setClearButtonEnabled(true);
    m_words->setToolTip(tr("Enter or F3: next match; Shift+Enter or Shift+F3: previous.\nEach "
                           "line is searched on its own: a reply split into lines of 16 MiB "
                           "matches nothing across the split."));
    m_matchCase = new QCheckBox(tr("Match case"), this);
    m_matchCase->setObjectName(QStringLiteral("findCase"));
    QToolButton* previous = Button(QStringLiteral("\u25b2"), tr("Previous match (Shift+F3)"), this);
    QToolButton* next = Button(QStringLiteral("\u25bc"), tr("Next match (F3)"), this);
    m_status = new QLabel(this);
    // Long words (a pattern's error) are cut at the bar's end; the tooltip has them whole.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QToolButton* close = Button(QStringLiteral("\u2715"), tr("Close (Escape)"), this);
    m_only = new QCheckBox(tr("Only matching lines"), this);
    m_only->setObjectName(QStringLiteral("findOnly"));
    m_context = new QSpinBox(this);
    m_context->setObjectName(QStringLiteral("findContext"));
    m_context->setRange(0, MatchingLines::kMostContext);
    m_context->setPrefix(tr("Context "));
    m_context->setToolTip(tr("Lines shown before and after each matching line"));
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("findKind"));
    for (const LineKind& kind : LineKinds())
        m_kind->addItem(kind.name);
    m_kind->setToolTip(tr("The kind of line searched"));
    m_time = new QLineEdit(this);
    m_time->setObjectName(QStringLiteral("findTime"));
    m_time->setPlaceholderText(QStringLiteral("hh:mm:ss"));
    m_time->setToolTip(tr("Enter: the first line at or after this time of day (Ctrl+T)"));

    auto* top = new QHBoxLayout;
    top->addWidget(m_way);
    top->addWidget(m_words, 3);
    top->addWidget(m_matchCase);
    top->addWidget(previous);
    top->addWidget(next);
    top->addWidget(m_status, 2);
    top->addWidget(close);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_only);
    bottom->addWidget(m_context);
    bottom->addWidget(m_kind);
    bottom->addStretch(1);
    bottom->addWidget(new QLabel(tr("Go to time"), this));
    bottom->addWidget(m_time);
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(4, 2, 4, 2);
    rows->setSpacing(2);
    rows->addLayout(top);
    rows->addLayout(bottom);

    m_words->installEventFilter(this);
    connect(m_words, &QLineEdit::textChanged, this, &FindBar::queryChanged);
    connect(m_way, &QComboBox::currentIndexChanged, this, [this] {
        m_matchCase->setEnabled(m_way->currentIndex() == int(LineMatcher::Way::Text));
        emit queryChanged();
    });
    connect(m_matchCase, &QCheckBox::toggled, this, &FindBar::queryChanged);
    connect(m_kind, &QComboBox::currentIndexChanged, this, &FindBar::queryChanged);
    connect(previous, &QToolButton::clicked, this, [this] { emit stepAsked(false); });
    connect(next, &QToolButton::clicked, this, [this] { emit stepAsked(true); });
    connect(close, &QToolButton::clicked, this, &FindBar::closeAsked);
    connect(m_only, &QCheckBox::toggled, this, &FindBar::showingChanged);
    connect(m_context, &QSpinBox::valueChanged, this, &FindBar::showingChanged);
    connect(m_time, &QLineEdit::returnPressed, this, [this] { emit timeAsked(m_time->text()); });
}

std::optional<LineMatcher> FindBar::matcher(QString& why) const
{
    return LineMatcher::Make(LineMatcher::Way(m_way->currentIndex()), m_words->text(),
                             m_matchCase->isChecked(), m_kind->currentIndex(), why);
}

bool FindBar::onlyMatching() const
{
    return m_only->isChecked();
}

int FindBar::context() const
{
    return m_context->value();
}

void FindBar::setStatus(const QString& text)
{
    m_status->setText(text);
    m_status->setToolTip(text);
}

QString FindBar::status() const
{
    return m_status->text();
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    // Enter goes to the next match, Shift+Enter to the previous.
    if (watched == m_words && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            emit stepAsked(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
