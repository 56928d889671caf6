// Helpers for the tests of headless runs: a private folder, running the game
// with options, and reading back PNG and GIF pictures.
#pragma once

#include <dirent.h>
#include <gif_lib.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// A fresh folder under /tmp, removed with what it holds.
struct TempDir {
    std::string path;
    TempDir() {
        char name[] = "/tmp/kaplo-run-XXXXXX";
        path = mkdtemp(name) ? name : "/tmp";
    }
    ~TempDir() {
        std::string cmd = "rm -rf '" + path + "'";
        int ignored = system(cmd.c_str());
        (void)ignored;
    }
    std::string operator/(const std::string &name) const { return path + "/" + name; }
};

// A whole file as bytes ("" when it cannot be read).
inline std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs a program in the folder with the options (bounded by timeout);
// returns its exit status and leaves stdout and stderr in the folder.
inline int run_program(const TempDir &dir, const std::string &program, const std::string &options) {
    std::string cmd = "cd '" + dir.path + "' && timeout 120 " + program + " " + options +
                      " > stdout.txt 2> stderr.txt";
    int status = system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The same for the game.
inline int run_game(const TempDir &dir, const std::string &options) {
    return run_program(dir, KAPLO_GAME, options);
}

// Names in a folder that end in a temporary suffix.
inline int leftovers(const std::string &dir) {
    int count = 0;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) count += strstr(e->d_name, ".part-") != nullptr;
        closedir(d);
    }
    return count;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB
    bool operator==(const Picture &o) const {
        return width == o.width && height == o.height && pixels == o.pixels;
    }
};

// Reads a PNG as 0x00RRGGBB pixels.
inline Picture read_png(const std::string &path) {
    Picture p;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return p;
    p.width = (int)image.width;
    p.height = (int)image.height;
    for (size_t i = 0; i < rgb.size(); i += 3)
        p.pixels.push_back((uint32_t)rgb[i] << 16 | (uint32_t)rgb[i + 1] << 8 | rgb[i + 2]);
    return p;
}

// A GIF decoded into the pictures a viewer shows and their delays.
struct Animation {
    bool ok = false;
    std::vector<Picture> frames;
    std::vector<int> delays_cs;
};

// Decodes every frame, drawing each over the one before as the GIF asks.
inline Animation read_gif(const std::string &path) {
    Animation a;
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif) return a;
    if (DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &error);
        return a;
    }
    Picture canvas;
    canvas.width = gif->SWidth;
    canvas.height = gif->SHeight;
    canvas.pixels.assign((size_t)canvas.width * canvas.height, 0);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage &im = gif->SavedImages[i];
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif, i, &gcb);
        ColorMapObject *map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
        const GifImageDesc &d = im.ImageDesc;
        for (int y = 0; y < d.Height; ++y)
            for (int x = 0; x < d.Width; ++x) {
                int index = im.RasterBits[y * d.Width + x];
                if (index == gcb.TransparentColor || !map) continue;
                GifColorType c = map->Colors[index];
                canvas.pixels[(size_t)(d.Top + y) * canvas.width + d.Left + x] =
                    (uint32_t)c.Red << 16 | (uint32_t)c.Green << 8 | c.Blue;
            }
        a.frames.push_back(canvas);
        a.delays_cs.push_back(gcb.DelayTime);
    }
    DGifCloseFile(gif, &error);
    a.ok = true;
    return a;
}
