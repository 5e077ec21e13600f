#include "kernel/entities/image.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "geometry/dc_draw.h"
#include "geometry/raster_device.h"
#include "geometry/rect.h"
#include "geometry/tolerance.h"
#include "geometry/transform.h"
#include "kernel/database/drawing.h"
#include "kernel/database/operation_context.h"
#include "kernel/database/system_setting.h"
#include "kernel/entity_base/entity_copy.h"
#include "kernel/entity_base/entity_display.h"
#include "kernel/entity_base/entity_properties.h"
#include "kernel/entity_base/entity_record.h"
#include "kernel/stream/file_io.h"
#include "platform/gdi_draw.h"
#include "platform/ximage.h"

namespace {

constexpr unsigned char k_image_opcode = 'G';
// The first stream revision whose image records carry their format byte.
constexpr int k_image_format_revision = 450;
constexpr unsigned short k_default_format = CXIMAGE_FORMAT_TIF;
// Kind of a pick at the frame's middle, beside the snapped point.
constexpr int k_pick_middle_extra = 16;
// Frame drawn while a rubber band is erased.
constexpr COLORREF k_rubber_frame_colour = 0xFF00FF;
// Largest picture file read.
constexpr std::size_t k_max_picture_bytes = std::size_t{1} << 28;

namespace key {
enum : int {
    Width = -109,
    Height = -110,
    Raster_Height = -206,
    Raster_Width = -207,
    Alpha = -208,
    Transparent_Corner = -216,
};
}  // namespace key

const MB_Property<MB_Image, double> k_image_reals[] = {
    {key::Height, [](MB_Image& e) { return e.height(); }, nullptr},
    {key::Width, [](MB_Image& e) { return e.width(); }, nullptr},
    {mb_key::Angle, [](MB_Image& e) { return e.angle(); }, nullptr},
};

const MB_Property<MB_Image, long> k_image_ints[] = {
    {key::Alpha, [](MB_Image& e) { return static_cast<long>(e.alpha()); }, nullptr},
    {key::Raster_Width, [](MB_Image& e) { return e.image() ? static_cast<long>(e.image()->GetWidth()) : 0L; }, nullptr},
    {key::Raster_Height, [](MB_Image& e) { return e.image() ? static_cast<long>(e.image()->GetHeight()) : 0L; },
     nullptr},
};

// A device coordinate, truncated and kept within what GDI calls take.
long device(double v)
{
    return api_mb_to_pixel(v);
}

// The raster in the record's format: the format's own encoder, else TIFF, whose format code
// is then what the record says. False (nothing encoded) when encoding fails.
bool encode_for_record(CxImage& image, unsigned char& format, std::vector<unsigned char>& out)
{
    for (const DWORD type : {static_cast<DWORD>(format), static_cast<DWORD>(k_default_format)}) {
        BYTE* buffer = nullptr;
        long size = 0;
        if (!image.Encode(buffer, size, type)) continue;
        bool ok = size > 0 && size <= MB_Image::k_max_image_bytes;
        if (ok) {
            try {
                out.assign(buffer, buffer + size);
            } catch (const std::bad_alloc&) {
                ok = false;
            }
        }
        CxImage::FreeMemory(buffer);
        if (!ok) return false;
        format = static_cast<unsigned char>(type);
        return true;
    }
    return false;
}

}  // namespace

MB_Image::MB_Image() = default;

MB_Image::MB_Image(CxImage* image) : m_image(image) {}

MB_Image::~MB_Image()
{
    if (m_emf) (void)DeleteEnhMetaFile(m_emf);
    give_back_pixels();
}

void MB_Image::give_back_pixels()
{
    if (m_budget) m_budget->give_back(m_budget_pixels);
    m_budget.reset();
    m_budget_pixels = 0;
}

void MB_Image::image(CxImage* image)
{
    if (image == m_image.get()) return;
    give_back_pixels();
    m_image.reset(image);
}

CxImage::Decode_Result MB_Image::adopt(std::unique_ptr<CxImage> raster, const std::shared_ptr<MB_Pixel_Budget>& budget)
{
    const CxImage::Decode_Result result = raster->GetDecodeResult();
    const long long pixels = static_cast<long long>(raster->GetWidth()) * raster->GetHeight();
    // The decoder was held to what remained, so the pixels fit.
    const bool taken = result == CxImage::Decode_Result::decoded && budget && budget->take(pixels);
    if (budget && result == CxImage::Decode_Result::over_limit) budget->note(MB_Pixel_Budget::Refusal::over_budget);
    if (budget && result == CxImage::Decode_Result::out_of_memory) budget->note(MB_Pixel_Budget::Refusal::out_of_memory);
    image(raster.release());
    if (taken) {
        m_budget = budget;
        m_budget_pixels = pixels;
    }
    return result;
}

CxImage::Decode_Result MB_Image::decode_raster(const unsigned char* bytes, unsigned long size, unsigned short type,
                                               const std::shared_ptr<MB_Pixel_Budget>& budget)
{
    const unsigned long long room = budget ? static_cast<unsigned long long>(budget->remaining()) : CXIMAGE_MAX_MEMORY / 4;
    std::unique_ptr<CxImage> raster(new (std::nothrow) CxImage(bytes, static_cast<DWORD>(size), type, room));
    if (!raster) {
        if (budget) budget->note(MB_Pixel_Budget::Refusal::out_of_memory);
        return CxImage::Decode_Result::out_of_memory;
    }
    return adopt(std::move(raster), budget);
}

CxImage::Decode_Result MB_Image::load_raster(const char* path, unsigned short type,
                                             const std::shared_ptr<MB_Pixel_Budget>& budget)
{
    const unsigned long long room = budget ? static_cast<unsigned long long>(budget->remaining()) : CXIMAGE_MAX_MEMORY / 4;
    std::unique_ptr<CxImage> raster(new (std::nothrow) CxImage(path, type, room));
    if (!raster) {
        if (budget) budget->note(MB_Pixel_Budget::Refusal::out_of_memory);
        return CxImage::Decode_Result::out_of_memory;
    }
    return adopt(std::move(raster), budget);
}

void MB_Image::emf(HENHMETAFILE emf)
{
    if (emf == m_emf) return;
    if (m_emf) (void)DeleteEnhMetaFile(m_emf);
    m_emf = emf;
}

void MB_Image::set_filename(const char* name)
{
    if (!name) {
        m_filename.reset();
        return;
    }
    const std::size_t n = std::strlen(name);
    std::unique_ptr<char[]> copy(new (std::nothrow) char[n + 1]);
    if (!copy) return;
    std::memcpy(copy.get(), name, n + 1);
    m_filename = std::move(copy);
}

Qe_Pt MB_Image::lt() const
{
    return {m_center.x() - m_width / 2, m_center.y() + m_height / 2, 0.0};
}
Qe_Pt MB_Image::rb() const
{
    return {m_center.x() + m_width / 2, m_center.y() - m_height / 2, 0.0};
}
Qe_Pt MB_Image::lb() const
{
    return {m_center.x() - m_width / 2, m_center.y() - m_height / 2, 0.0};
}
Qe_Pt MB_Image::rt() const
{
    return {m_center.x() + m_width / 2, m_center.y() + m_height / 2, 0.0};
}

MB_Result MB_Image::serialize(MB_File_IO& file)
{
    unsigned char format = static_cast<unsigned char>(m_image_format & 0xFF);
    std::vector<unsigned char> data;
    if (m_image && !encode_for_record(*m_image, format, data)) data.clear();
    return mb_write_entity(*this, file, k_image_opcode, [&](MB_Record_Writer& w) {
        w.position(m_center).byte(format).int32(static_cast<mb_long>(data.size()));
        if (!data.empty()) w.then([&] { return file.write(static_cast<int>(data.size()), data.data()); });
        w.position(m_center)
            .real(m_height)
            .real(m_width)
            .real(m_angle)
            .int32(static_cast<mb_long>(m_alpha))
            .int32(static_cast<mb_long>(m_picture_width))
            .int32(static_cast<mb_long>(m_picture_height));
    });
}

MB_Result MB_Image::materialize(const MB_Opcode& opcode, MB_File_IO& file)
{
    return mb_read_entity(*this, opcode, file, [&](MB_Record_Reader& r) {
        Qe_Pt center, again;
        unsigned char format = static_cast<unsigned char>(m_image_format & 0xFF);
        mb_long n = 0, alpha = 0, pw = 0, ph = 0;
        std::unique_ptr<char[]> bytes;
        double height = 0, width = 0, angle = 0;
        r.position(center);
        if (mb_stream_revision(file) >= k_image_format_revision) r.byte(format);
        r.then([&] { return file.read_counted_bytes(k_max_image_bytes, n, bytes); });
        r.position(again).real(height).real(width).real(angle).int32(alpha).int32(pw).int32(ph);
        if (!r.ok()) return;
        // Bytes that do not decode still give an image, without pixels but with its bytes:
        // the record was read whole, and the drawing keeps its frame and its picture's bytes.
        // An image the drawing's pixel budget or the memory cannot hold fails the record.
        if (n > 0) {
            MB_Drawing* d = file.drawing();
            const std::shared_ptr<MB_Pixel_Budget> budget = d ? d->pixel_budget_ptr() : nullptr;
            switch (decode_raster(reinterpret_cast<const unsigned char*>(bytes.get()), static_cast<unsigned long>(n), format,
                                  budget)) {
            case CxImage::Decode_Result::over_limit: r.fail(MB_Result::Budget_Exceeded); return;
            case CxImage::Decode_Result::out_of_memory: r.fail(MB_Result::Out_Of_Memory); return;
            default: break;
            }
        } else {
            image(nullptr);
        }
        m_image_format = format;
        m_center = again;
        m_height = height;
        m_width = width;
        m_angle = angle;
        m_alpha = static_cast<unsigned short>(alpha);
        m_picture_width = pw;
        m_picture_height = ph;
    });
}

MB_Result MB_Image::process(MB_File_IO& file)
{
    return mb_process_entity(*this, file);
}

MB_Result MB_Image::default_process(MB_Image&, MB_File_IO&)
{
    return MB_Result::Success;
}

bool MB_Image::copy_to(MB_Object*& target)
{
    // The raster is copied first: when memory runs out nothing has changed yet.
    std::unique_ptr<CxImage> raster;
    if (m_image) {
        raster.reset(new (std::nothrow) CxImage(*m_image, true, true, true));
        if (!raster) return false;
    }
    // Taken before the target (which may be this image) gives its own pixels back.
    const std::shared_ptr<MB_Pixel_Budget> budget = m_budget;
    auto fill = [&](MB_Image& e) {
        e.m_image_format = m_image_format;
        e.image(raster.release());
        // The copy's pixels count where the source's do.
        if (budget && e.m_image) {
            e.m_budget_pixels = static_cast<long long>(e.m_image->GetWidth()) * e.m_image->GetHeight();
            budget->hold(e.m_budget_pixels);
            e.m_budget = budget;
        }
        e.m_center = m_center;
        e.m_height = m_height;
        e.m_width = m_width;
        e.m_angle = m_angle;
        e.m_alpha = m_alpha;
    };
    return mb_copy_entity<MB_Image>(
        *this, target,
        [&]() -> MB_Object* {
            auto* made = new (std::nothrow) MB_Image;
            if (made) fill(*made);
            return made;
        },
        fill);
}

Qe_Pt MB_Image::get_point(int k)
{
    // The bounding rectangle's corners (−9, −10) are the drawable's.
    return k == mb_key::Center ? m_center : MB_Drawable::get_point(k);
}

double MB_Image::get_real(int k)
{
    return mb_get_property(k_image_reals, *this, k, [&] { return MB_Drawable::get_real(k); });
}

long MB_Image::get_int(int k)
{
    return mb_get_property(k_image_ints, *this, k, [&] { return MB_Drawable::get_int(k); });
}

void MB_Image::set_real(long k, double value)
{
    if (k != mb_key::Angle) {
        MB_Drawable::set_real(k, value);
        return;
    }
    if (!m_image) return;
    // A turn may grow the canvas: the growth comes from the budget, and a turn the budget
    // cannot hold is not made.
    CxImage turned;
    if (!m_image->Rotate(static_cast<float>(value), &turned)) return;
    if (m_budget) {
        const long long pixels = static_cast<long long>(turned.GetWidth()) * turned.GetHeight();
        if (pixels > m_budget_pixels && !m_budget->take(pixels - m_budget_pixels)) return;
        m_budget->give_back(m_budget_pixels - pixels);
        m_budget_pixels = pixels;
    }
    *m_image = std::move(turned);
}

void MB_Image::set_int(long k, long value)
{
    if (k == key::Transparent_Corner) {
        if (!m_image) return;
        m_image->SetTransIndex(m_image->GetPixelIndex(0, 0));
        m_image->SetTransColor(m_image->GetPixelColor(0, 0, true));
        return;
    }
    if (k == key::Alpha) {
        if (!m_image) return;
        if (!m_image->AlphaIsValid()) (void)m_image->AlphaCreate();
        m_image->AlphaSet(static_cast<BYTE>(value));
        return;
    }
    MB_Drawable::set_int(k, value);
}

void MB_Image::set_point(long k, const Qe_Pt& value)
{
    if (k != mb_key::Insert_Point2) {
        MB_Drawable::set_point(k, value);
        return;
    }
    modify_cmd();
    m_center = value;
}

char MB_Image::pick(const Qe_Pt& at, Qe_Pt_List&, double tol, Qe_Pt& nearest, int& kind, int& extra)
{
    const Qe_Rect& r = rect();
    const Qe_Pt c = r.center();
    if ((at - c).len() <= tol) {
        nearest = c;
        kind = Pick_Image;
        extra = k_pick_middle_extra;
        return 1;
    }
    const double x0 = std::fmin(r.lt().x(), r.rb().x()), x1 = std::fmax(r.lt().x(), r.rb().x());
    const double y0 = std::fmin(r.lt().y(), r.rb().y()), y1 = std::fmax(r.lt().y(), r.rb().y());
    const Qe_Pt corner(x1, y0, 0.0);
    if ((at - corner).len() <= tol) {
        nearest = corner;
        kind = Pick_Image;
        return 1;
    }
    // Inside the frame grown by tol. With y pointing up the frame runs from its left-top
    // corner down; otherwise from the smaller y to the larger.
    const double top = g_y_dir ? r.lt().y() : y1, bottom = g_y_dir ? r.rb().y() : y0;
    if (at.x() >= x0 - tol && at.x() <= x1 + tol && at.y() <= top + tol && at.y() >= bottom - tol) {
        nearest = at;
        kind = Pick_Image;
        return 1;
    }
    return 0;
}

void MB_Image::build_draw()
{
    rect().set_rect(lt(), rb());
}

void MB_Image::draw(HDC hdc, Qe_Qdc& qdc, Qe_Tran& t)
{
    HDC dc = hdc ? hdc : qdc.GetDC();
    if (!dc) return;
    const Qe_Pt p = m_center * t;
    // Each side by the length its axis maps to: a transform's uniform factor is not the
    // scale of the plane when x, y and z scale differently (a block reference's (2, 2, 1)).
    const double sx = (Qe_Vec(1.0, 0.0, 0.0) * t).len(), sy = (Qe_Vec(0.0, 1.0, 0.0) * t).len();
    RECT box;
    box.left = device(p.x() - sx * m_width / 2);
    box.top = device(p.y() - sy * m_height / 2);
    box.right = device(p.x() + sx * m_width / 2);
    box.bottom = device(p.y() + sy * m_height / 2);
    const Qe_Pt corner_a = lt() * t, corner_b = rb() * t;

    if (g_is_rubbering) {
        const int old_mode = SetROP2(dc, R2_NOTXORPEN);
        {
            MB_Scoped_Pen pen(dc, PS_SOLID, 0, k_rubber_frame_colour);
            api_mb_draw_rect(dc, corner_b, corner_a, 0.0, 0);
        }
        if (old_mode) SetROP2(dc, old_mode);
        return;
    }

    if (m_picture) {
        (void)draw_image(dc, box.left, box.bottom, std::labs(static_cast<long>(box.right) - box.left),
                         -std::labs(static_cast<long>(box.bottom) - box.top), 0, 0, m_picture_width, m_picture_height);
    } else if (m_emf) {
        (void)PlayEnhMetaFile(dc, m_emf, &box);
    } else if (m_image) {
        (void)m_image->Draw(dc, box, nullptr, true);
    }

    if (flag() != State_Selected) return;
    const long colour = api_active_system_setting().get_long_val(MB_System_Setting::k_long_selection);
    MB_Scoped_Pen pen(dc, PS_SOLID, 1, static_cast<COLORREF>(colour));
    api_mb_draw_rect(dc, corner_b, corner_a, 0.0, 0);
    for (const Qe_Pt& corner : {lt(), lb(), rt(), rb()}) api_mb_draw_point(dc, corner * t, 0, 3, 1);
}

void MB_Image::translate(const Qe_Tran& t, short)
{
    modify_cmd();
    m_center *= t;
}

bool MB_Image::LoadPictureFile(const char* path)
{
    std::unique_ptr<Platform_Picture> picture = Platform_Picture::load_file(path, k_max_picture_bytes);
    if (!picture) return false;
    LONG w = 0, h = 0;
    if (picture->get_Width(&w) != S_OK || picture->get_Height(&h) != S_OK) return false;
    m_picture = std::move(picture);
    m_picture_width = w;
    m_picture_height = h;
    m_width = w;
    m_height = h;
    return true;
}

void MB_Image::set_winmeta_filebits(unsigned size, const unsigned char* bits, HDC, const METAFILEPICT*)
{
    // The metafile keeps its own copy of the bits.
    HENHMETAFILE made = SetWinMetaFileBits(size, bits, nullptr, nullptr);
    if (made) emf(made);
}

bool MB_Image::draw_image(HDC dc, long x, long y, long cx, long cy, long xsrc, long ysrc, long cxsrc, long cysrc)
{
    if (!dc || !m_picture) return false;
    return m_picture->Render(dc, x, y, cx, cy, xsrc, ysrc, cxsrc, cysrc, nullptr) == S_OK;
}

void MB_Image::free_grid()
{
    m_rows.reset();
    m_grid.reset();
}

_tagspt** MB_Image::get_pts()
{
    free_grid();
    if (!m_image || !m_image->IsValid()) return nullptr;
    const std::size_t w = m_image->GetWidth(), h = m_image->GetHeight();
    std::unique_ptr<_tagspt[]> grid(new (std::nothrow) _tagspt[w * h]);
    std::unique_ptr<_tagspt*[]> rows(new (std::nothrow) _tagspt*[h]);
    if (!grid || !rows) return nullptr;
    const double dx = m_width / static_cast<double>(w), dy = m_height / static_cast<double>(h);
    const double left = m_center.x() - m_width / 2, bottom = m_center.y() - m_height / 2;
    for (std::size_t i = 0; i < h; ++i)
        for (std::size_t j = 0; j < w; ++j) {
            const RGBQUAD c = m_image->GetPixelColor(static_cast<long>(j), static_cast<long>(i), true);
            grid[i * w + j] = _tagspt{left + static_cast<double>(j) * dx, bottom + static_cast<double>(i) * dy,
                                      RGB(c.rgbRed, c.rgbGreen, c.rgbBlue)};
        }
    for (std::size_t k = 0; k < h; ++k) rows[k] = grid.get() + (h - 1 - k) * w;
    m_grid = std::move(grid);
    m_rows = std::move(rows);
    return m_rows.get();
}
