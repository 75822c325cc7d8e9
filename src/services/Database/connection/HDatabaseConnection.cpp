#include "HDatabaseConnection.h"

#include "HLogs.h"

#include <boost/json/serialize.hpp>
#include <cppdb/backend.h>
#include <cppdb/driver_manager.h>
#include <cppdb/frontend.h>
#include <cppdb/utils.h>

#include <cstdint>
#include <exception>
#include <limits>
#include <string_view>

namespace json = boost::json;

HDatabaseQueryValueType convertType(const json::value& value) {
    if (value.is_string() && (value.get_string() == "number" || value.get_string() == "double"))
        return HDatabaseQueryValueType::asNumber;
    return HDatabaseQueryValueType::asText;
}

void convertTypes(const json::array& array, HDatabaseQueryTypes& types) {
    types.reserve(types.size() + array.size());
    for (const json::value& value : array)
        types.push_back(convertType(value));
}

namespace {

// The linked-in back end has SQLite copy every bound text, so temporaries can be bound.
void bindValues(cppdb::statement& statement, const json::array& values) {
    int placeholder = 1;
    for (const json::value& value : values) {
        switch (value.kind()) {
        case json::kind::null:
            statement.bind_null(placeholder);
            break;
        case json::kind::bool_:
            statement.bind(placeholder, value.get_bool() ? 1 : 0);
            break;
        case json::kind::int64:
            statement.bind(placeholder, static_cast<long long>(value.get_int64()));
            break;
        case json::kind::uint64:
            if (value.get_uint64() <=
                static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                statement.bind(placeholder, static_cast<long long>(value.get_uint64()));
            else
                statement.bind(placeholder, std::to_string(value.get_uint64()));
            break;
        case json::kind::double_:
            statement.bind(placeholder, value.get_double());
            break;
        case json::kind::string: {
            std::string_view text(value.get_string());
            text = text.substr(0, text.find('\0'));
            statement.bind(placeholder, text.data(), text.data() + text.size());
            break;
        }
        case json::kind::array:
        case json::kind::object:
            statement.bind(placeholder, json::serialize(value));
            break;
        }
        ++placeholder;
    }
}

void getInfo(cppdb::statement& statement, json::object& object) {
    object["affectedRows"] = statement.affected();
    object["lastInsertId"] = statement.last_insert_id();
}

HDatabaseQueryValueType queryType(const HDatabaseQueryTypes& types, std::size_t column) {
    return column < types.size() ? types[column] : HDatabaseQueryValueType::asText;
}

// A later column of the same name replaces the value of the first, in the first one's place.
// `text` is a buffer reused from row to row.
void queryRow(cppdb::result& result, const std::vector<std::string>& names,
              const HDatabaseQueryTypes& types, std::string& text, json::object& object) {
    for (std::size_t column = 0; column < names.size(); ++column) {
        const int index = static_cast<int>(column);
        if (queryType(types, column) == HDatabaseQueryValueType::asNumber) {
            double number = 0;
            if (result.fetch(index, number))
                object.insert_or_assign(names[column], number);
            else
                object.insert_or_assign(names[column], nullptr);
        } else if (result.fetch(index, text)) {
            object.insert_or_assign(names[column], json::string_view(text));
        } else {
            object.insert_or_assign(names[column], nullptr);
        }
    }
}

// Each row is built in its place in `results`, so it is never copied.
void queryResults(cppdb::statement& statement, const HDatabaseQueryTypes& types, json::value& info,
                  json::array& results) {
    cppdb::result result = statement.query();
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(result.cols()));
    for (int column = 0; column < result.cols(); ++column)
        names.push_back(result.name(column));
    std::string text;
    std::uint64_t rows = 0;
    while (result.next()) {
        json::object& row = results.emplace_back(json::object(results.storage())).get_object();
        row.reserve(names.size());
        queryRow(result, names, types, text, row);
        ++rows;
    }
    info = json::object{{"rows", rows}};
}

} // namespace

HDatabaseConnection::HDatabaseConnection(const std::string& connectionContext,
                                         const std::string& connectionId,
                                         const std::string& connectionString)
    : connectionContext(connectionContext), connectionId(connectionId),
      connectionString(connectionString) {
    HLOG_TRACE("HDatabaseConnection::HDatabaseConnection");
}

HDatabaseConnection::~HDatabaseConnection() {
    HLOG_TRACE("HDatabaseConnection::~HDatabaseConnection");
}

bool HDatabaseConnection::connect(std::string* error) {
    try {
        cppdb::connection_info info(connectionString);
        // Only the linked-in back end runs: a connection string never makes the layer load a
        // module. Opening through the driver manager, not a pool, lets a release really close.
        info.properties.erase("@module");
        info.properties.erase("@modules_path");
        const cppdb::ref_ptr<cppdb::backend::connection> opened(
            cppdb::driver_manager::instance().connect(info));
        database = std::make_shared<cppdb::session>(opened);
        return true;
    } catch (const std::exception& exception) {
        if (error != nullptr)
            *error = exception.what();
        return false;
    }
}

bool HDatabaseConnection::run(const std::string& sql, const json::array& bind, bool execX,
                              json::value& info, bool query, const HDatabaseQueryTypes& types,
                              json::array& results, std::string* error) {
    try {
        // Uncached: a text without a statement (empty, only a comment) then fails when run
        // instead of crashing the statement cache's reset.
        cppdb::statement statement = database->create_prepared_uncached_statement(sql);
        if (query) {
            bindValues(statement, bind);
            queryResults(statement, types, info, results);
        } else if (!execX) {
            bindValues(statement, bind);
            statement.exec();
            json::object figures;
            getInfo(statement, figures);
            info = std::move(figures);
        } else {
            json::array runs;
            for (const json::value& values : bind) {
                if (!values.is_array())
                    continue;
                bindValues(statement, values.get_array());
                statement.exec();
                getInfo(statement, runs.emplace_back(json::object()).get_object());
                statement.reset();
            }
            info = std::move(runs);
        }
        return true;
    } catch (const std::exception& exception) {
        if (error != nullptr)
            *error = exception.what();
        return false;
    }
}
