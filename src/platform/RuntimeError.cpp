#include "platform/RuntimeError.h"

#include "platform/Win32Error.h"

#include <new>
#include <stdexcept>
#include <utility>

namespace pelorix {

RuntimeError::RuntimeError(std::int32_t number, std::string description, std::string source)
    : m_number(number), m_description(std::move(description)), m_source(std::move(source)) {}

RuntimeError RuntimeError::withSource(std::string source) const {
    return RuntimeError(m_number, m_description, std::move(source));
}

namespace vberr {

std::string description(std::int32_t number) {
    switch (number) {
    case InvalidArgument:
        return "プロシージャの呼び出し、または引数が不正です。";
    case OutOfMemory:
        return "メモリが不足しています。";
    case SubscriptOutOfRange:
        return "インデックスが有効範囲にありません。";
    case Internal:
        return "内部エラーです。";
    case BadFileNameOrNumber:
        return "ファイル名または番号が不正です。";
    case FileNotFound:
        return "ファイルが見つかりません。";
    case 55:
        return "ファイルは既に開かれています。";
    case DeviceIo:
        return "デバイス I/O エラーです。";
    case DiskFull:
        return "ディスクの空き容量が不足しています。";
    case 62:
        return "ファイルにこれ以上データがありません。";
    case PermissionDenied:
        return "書き込みできません。";
    case PathFileAccess:
        return "パス名が無効です。";
    case PathNotFound:
        return "パスが見つかりません。";
    case ObjectNotSet:
        return "オブジェクト変数または With ブロック変数が設定されていません。";
    case CancelSelected:
        return "Cancel was selected.";
    default:
        return {};
    }
}

RuntimeError make(std::int32_t number, std::string source) {
    return RuntimeError(number, description(number), std::move(source));
}

RuntimeError fromWin32(std::int32_t win32Code) {
    switch (win32Code) {
    case win32::FileNotFound:
        return make(FileNotFound);
    case win32::PathNotFound:
        return make(PathNotFound);
    case win32::SharingViolation:
        return make(PermissionDenied);
    case win32::InvalidName:
        return make(BadFileNameOrNumber);
    case win32::DiskFull:
        return make(DiskFull);
    default: // access denied among them
        return make(PathFileAccess);
    }
}

} // namespace vberr

RuntimeError currentAsRuntimeError() {
    try {
        throw;
    } catch (const RuntimeError& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return vberr::make(vberr::OutOfMemory);
    } catch (const std::out_of_range&) {
        return vberr::make(vberr::SubscriptOutOfRange);
    } catch (const std::invalid_argument&) {
        return vberr::make(vberr::InvalidArgument);
    } catch (const std::length_error&) {
        return vberr::make(vberr::InvalidArgument);
    } catch (const std::exception& e) {
        return RuntimeError(vberr::Internal, e.what());
    } catch (...) {
        return vberr::make(vberr::Internal);
    }
}

} // namespace pelorix
