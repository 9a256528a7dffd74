// SPDX-License-Identifier: MIT
// The entry tree on a generated window with 2,000 translatable properties
// (1,000 components with a Caption and a Hint, in frames of 50): giving IDs,
// refreshing, recording source values and applying a translation, next to
// their floor, reading and writing the same properties through Qt's
// meta-object system without any tree.
#include "localization/CompEntries.h"
#include "localization/MaskList.h"
#include "localization/Translations.h"
#include "vcl/Component.h"
#include "vcl/Persistent.h"

#include <QBuffer>

#include <benchmark/benchmark.h>

#include <memory>

class TBenchItem : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(qint64 Tag READ Tag WRITE SetTag)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)

public:
    using TComponent::TComponent;
    QString Caption() const { return FCaption; }
    void SetCaption(const QString &v) { FCaption = v; }
    QString Hint() const { return FHint; }
    void SetHint(const QString &v) { FHint = v; }
    qint64 Tag() const { return FTag; }
    void SetTag(qint64 v) { FTag = v; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool v) { FEnabled = v; }

private:
    QString FCaption;
    QString FHint;
    qint64 FTag = 0;
    bool FEnabled = true;
};

namespace {

constexpr int Frames = 20;
constexpr int ItemsPerFrame = 50;
constexpr int Properties = Frames * ItemsPerFrame * 2;

struct Window
{
    Window()
    {
        form.setObjectName(QStringLiteral("FormBench"));
        for (int f = 0; f < Frames; ++f) {
            auto *frame = new TBenchItem(&form);
            frame->setObjectName(QStringLiteral("frame%1").arg(f));
            for (int i = 0; i < ItemsPerFrame; ++i) {
                auto *item = new TBenchItem(frame);
                item->setObjectName(QStringLiteral("item%1_%2").arg(f).arg(i));
                item->SetCaption(QStringLiteral("Elemento %1 del marco %2").arg(i).arg(f));
                item->SetHint(QStringLiteral("Ayuda del elemento %1").arg(i));
                items.push_back(item);
            }
        }
    }
    TBenchItem form;
    std::vector<TBenchItem *> items;
};

const TVLang_MaskList &IgnoreMasks()
{
    static const TVLang_MaskList masks(QStringList{"*SQL*", ".SQL", "SQL"});
    return masks;
}

std::unique_ptr<TVLang_CompEntry> Tree(Window &w)
{
    auto root = std::make_unique<TVLang_CompEntry>();
    root->BindToComponent(&w.form);
    root->UpdateEntries(true, true, true, true, IgnoreMasks(), TVLang_MaskList());
    return root;
}

void BM_UpdateEntries_NewTree(benchmark::State &state)
{
    Window w;
    for (auto _ : state) {
        auto root = Tree(w);
        benchmark::DoNotOptimize(root->MaxPropEntryID());
    }
    state.counters["properties"] = Properties;
}
BENCHMARK(BM_UpdateEntries_NewTree)->Unit(benchmark::kMillisecond);

void BM_UpdateEntries_Modify(benchmark::State &state)
{
    Window w;
    auto root = Tree(w);
    for (auto _ : state)
        root->UpdateEntries(true, true, true, true, IgnoreMasks(), TVLang_MaskList());
    state.counters["properties"] = Properties;
}
BENCHMARK(BM_UpdateEntries_Modify)->Unit(benchmark::kMillisecond);

void BM_UpdateEntries_RecordSource(benchmark::State &state)
{
    Window w;
    auto root = Tree(w);
    for (auto _ : state)
        root->UpdateEntries(false, true, true, true, IgnoreMasks(), TVLang_MaskList());
    state.counters["properties"] = Properties;
}
BENCHMARK(BM_UpdateEntries_RecordSource)->Unit(benchmark::kMillisecond);

void BM_ApplyTranslation_Section(benchmark::State &state)
{
    Window w;
    auto root = Tree(w);
    TVLang_CompTranslation section(QStringLiteral("FormBench"));
    for (qint32 id = 1; id <= Properties; ++id)
        section.Add(id, QStringLiteral("Translated text %1").arg(id));
    for (auto _ : state) {
        root->ApplyTranslation(&section);
        root->ApplyTranslation(nullptr);
    }
    state.counters["applies"] = benchmark::Counter(2, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ApplyTranslation_Section)->Unit(benchmark::kMillisecond);

void BM_LangData_SaveLoad(benchmark::State &state)
{
    Window w;
    auto root = Tree(w);
    for (auto _ : state) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        root->SaveLangData(out);
        QBuffer in;
        in.setData(out.data());
        in.open(QIODevice::ReadOnly);
        TVLang_CompEntry copy;
        copy.LoadLangData(in);
        copy.BindToComponent(&w.form);
        benchmark::DoNotOptimize(copy.MaxPropEntryID());
    }
}
BENCHMARK(BM_LangData_SaveLoad)->Unit(benchmark::kMillisecond);

// The same 2,000 properties on 1,000 components placed directly on the
// window: the lookups of entries by component and by name must stay linear.
void BM_UpdateEntries_FlatWindow(benchmark::State &state)
{
    TBenchItem form;
    form.setObjectName(QStringLiteral("FormFlat"));
    for (int i = 0; i < Properties / 2; ++i) {
        auto *item = new TBenchItem(&form);
        item->setObjectName(QStringLiteral("item%1").arg(i));
        item->SetCaption(QStringLiteral("Elemento %1").arg(i));
        item->SetHint(QStringLiteral("Ayuda %1").arg(i));
    }
    TVLang_CompEntry root;
    root.BindToComponent(&form);
    root.UpdateEntries(true, true, true, true, IgnoreMasks(), TVLang_MaskList());
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    root.SaveLangData(out);
    for (auto _ : state) {
        QBuffer in;
        in.setData(out.data());
        in.open(QIODevice::ReadOnly);
        TVLang_CompEntry copy;
        copy.LoadLangData(in);
        copy.BindToComponent(&form);
        copy.UpdateEntries(true, true, true, true, IgnoreMasks(), TVLang_MaskList());
        benchmark::DoNotOptimize(copy.MaxPropEntryID());
    }
    state.counters["properties"] = Properties;
}
BENCHMARK(BM_UpdateEntries_FlatWindow)->Unit(benchmark::kMillisecond);

// The floor: every component found through the component lists, each of
// its published properties looked at, and the two texts read and written
// back through QMetaProperty, with no tree, path, mask or lookup.
void BM_Floor_ReadWriteThroughMetaObject(benchmark::State &state)
{
    Window w;
    for (auto _ : state) {
        for (QObject *frame : vcl::Components(&w.form))
            for (QObject *item : vcl::Components(frame))
                for (const QMetaProperty &p : vcl::PublishedProperties(item))
                    if (p.metaType().id() == QMetaType::QString)
                        p.write(item, p.read(item));
    }
    state.counters["properties"] = Properties;
}
BENCHMARK(BM_Floor_ReadWriteThroughMetaObject)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

#include "bench_entries.moc"
