#include "host/components/client_dataset.h"

#include <stdexcept>

namespace comp {

void TClientDataSet::SetData(const wire::Variant& data) {
  if (data.kind() != wire::Variant::Kind::Packet) {
    throw std::runtime_error(Name() + ": os dados recebidos não são um pacote de dados (" +
                             wire::KindName(data.kind()) + ")");
  }
  const wire::DataPacket& packet = data.AsPacket();
  std::vector<std::size_t> columns;
  for (const TField* field : Fields()) {
    const std::size_t column = packet.FieldIndex(field->FieldName());
    if (column == wire::DataPacket::npos) {
      throw std::runtime_error(Name() + ": Campo '" + field->FieldName() + "' não encontrado");
    }
    columns.push_back(column);
  }
  std::vector<std::vector<std::string>> rows;
  rows.reserve(packet.rows.size());
  for (const auto& source : packet.rows) {
    std::vector<std::string> row;
    row.reserve(columns.size());
    for (std::size_t column : columns) {
      row.push_back(column < source.size() ? wire::CellText(source[column]) : std::string());
    }
    rows.push_back(std::move(row));
  }
  LoadRows(std::move(rows));
}

void TClientDataSet::CreateDataSet() { LoadRows({}); }

void TClientDataSet::EmptyDataSet() { LoadRows({}); }

}  // namespace comp
