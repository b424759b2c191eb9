#include "fuzzsupport.h"

#include "classic/gridlookupmodelbuilder.h"

#include <QStandardItemModel>

// A GridLookup message as the server sends it, checked against the bounds and then built.
QList<QByteArray> fuzzSeeds()
{
    QList<QByteArray> seeds;
    Pb::GridLookup message;
    message.set_title("Students");
    const std::pair<const char *, Pb::DisplayType> columns[]
        = { { "Id", Pb::INTEGER }, { "Name", Pb::CHARACTER }, { "Born", Pb::DATE }, { "Fee", Pb::FLOAT } };
    for (const auto &column : columns) {
        auto *added = message.add_column();
        added->set_header(column.first);
        added->set_type(column.second);
    }
    message.mutable_column(3)->set_is_hidden(true);
    for (int i = 0; i < 5; ++i) {
        auto *row = message.add_row();
        row->set_index(i);
        for (const char *item : { "12", "Smith, Ann", "02/29/2000", "1234.50" })
            row->add_item(item);
    }
    seeds.append(QByteArray::fromStdString(message.SerializeAsString()));
    for (const QByteArray &screen : screenSeeds()) {
        message.mutable_screen()->set_screen(screen.toStdString());
        message.mutable_column(1)->set_header("name");
        seeds.append(QByteArray::fromStdString(message.SerializeAsString()));
    }
    return seeds;
}

void fuzzOne(const QByteArray &input)
{
    Pb::GridLookup message;
    if (!message.ParseFromArray(input.constData(), input.size())
        || !GridLookupModelBuilder::refusal(message).isEmpty())
        return;
    GridLookupModelBuilder builder(message);
    const std::unique_ptr<QStandardItemModel> model = builder.takeModel();
    FUZZ_CHECK(model && model->rowCount() == message.row_size());
    for (int column : builder.hiddenColumns())
        FUZZ_CHECK(column >= 0 && column < model->columnCount());
}
