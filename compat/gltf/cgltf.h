/* The part of the cgltf C API that the renderer calls, implemented by this project for platforms without a
 * cgltf package. Names, types, signatures and result codes are cgltf's, so the real library drops in
 * unchanged where it is available. Structures hold only the fields that the program and this implementation
 * use; what the program never reads (samplers, skins, cameras, animations, extensions, extras) is not kept.
 *
 * Differences from the real library that a caller can see:
 * - cgltf_options.memory and cgltf_options.file must be zero (custom allocators and file readers are not
 *   supported); otherwise the parse gives cgltf_result_invalid_options. cgltf_data.memory.free_func and
 *   cgltf_data.file.release free what the data owns (a buffer's bytes, released early), as cgltf's defaults
 *   do; its alloc_func and file.read stay empty.
 * - cgltf_parse copies the input, so the caller may release its memory as soon as the call returns (cgltf
 *   keeps pointers into it: code meant for both keeps it alive as long as the data).
 * - cgltf_options.json_token_count is ignored: the JSON parser needs no token count, so a count too small
 *   for the file does not make the parse fail.
 * - A number written "-0" (no fraction, no exponent) reads as +0.0f; cgltf reads -0.0f. "-0.0" reads as
 *   -0.0f in both.
 * - Integer properties (indices, counts, offsets, modes) must be whole, non-negative numbers that fit
 *   their type ("3.0" reads as 3); cgltf_parse refuses a file with any other value there (with
 *   cgltf_result_invalid_gltf) instead of reading its text as a C conversion to an integer would.
 * - A file that is refused may be refused by a different call (cgltf_parse rather than cgltf_validate, say)
 *   and with a different error code; which files load and what their data read as is meant to be the same.
 */
#ifndef LANTERN_COMPAT_CGLTF_H
#define LANTERN_COMPAT_CGLTF_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef size_t cgltf_size;
typedef float cgltf_float;
typedef int cgltf_int;
typedef unsigned int cgltf_uint;
typedef int cgltf_bool;

typedef enum cgltf_file_type {
    cgltf_file_type_invalid,
    cgltf_file_type_gltf,
    cgltf_file_type_glb,
    cgltf_file_type_max_enum
} cgltf_file_type;

typedef enum cgltf_result {
    cgltf_result_success,
    cgltf_result_data_too_short,
    cgltf_result_unknown_format,
    cgltf_result_invalid_json,
    cgltf_result_invalid_gltf,
    cgltf_result_invalid_options,
    cgltf_result_file_not_found,
    cgltf_result_io_error,
    cgltf_result_out_of_memory,
    cgltf_result_legacy_gltf,
    cgltf_result_max_enum
} cgltf_result;

typedef struct cgltf_memory_options {
    void* (*alloc_func)(void* user, cgltf_size size);
    void (*free_func)(void* user, void* ptr);
    void* user_data;
} cgltf_memory_options;

typedef struct cgltf_file_options {
    cgltf_result (*read)(const struct cgltf_memory_options* memory_options,
                         const struct cgltf_file_options* file_options, const char* path, cgltf_size* size,
                         void** data);
    void (*release)(const struct cgltf_memory_options* memory_options,
                    const struct cgltf_file_options* file_options, void* data);
    void* user_data;
} cgltf_file_options;

typedef struct cgltf_options {
    cgltf_file_type type;        /* invalid: detected from the contents */
    cgltf_size json_token_count; /* ignored: the JSON parser needs no token count */
    cgltf_memory_options memory;
    cgltf_file_options file;
} cgltf_options;

typedef enum cgltf_buffer_view_type {
    cgltf_buffer_view_type_invalid,
    cgltf_buffer_view_type_indices,
    cgltf_buffer_view_type_vertices,
    cgltf_buffer_view_type_max_enum
} cgltf_buffer_view_type;

typedef enum cgltf_attribute_type {
    cgltf_attribute_type_invalid,
    cgltf_attribute_type_position,
    cgltf_attribute_type_normal,
    cgltf_attribute_type_tangent,
    cgltf_attribute_type_texcoord,
    cgltf_attribute_type_color,
    cgltf_attribute_type_joints,
    cgltf_attribute_type_weights,
    cgltf_attribute_type_custom,
    cgltf_attribute_type_max_enum
} cgltf_attribute_type;

typedef enum cgltf_component_type {
    cgltf_component_type_invalid,
    cgltf_component_type_r_8,   /* BYTE */
    cgltf_component_type_r_8u,  /* UNSIGNED_BYTE */
    cgltf_component_type_r_16,  /* SHORT */
    cgltf_component_type_r_16u, /* UNSIGNED_SHORT */
    cgltf_component_type_r_32u, /* UNSIGNED_INT */
    cgltf_component_type_r_32f, /* FLOAT */
    cgltf_component_type_max_enum
} cgltf_component_type;

typedef enum cgltf_type {
    cgltf_type_invalid,
    cgltf_type_scalar,
    cgltf_type_vec2,
    cgltf_type_vec3,
    cgltf_type_vec4,
    cgltf_type_mat2,
    cgltf_type_mat3,
    cgltf_type_mat4,
    cgltf_type_max_enum
} cgltf_type;

typedef enum cgltf_primitive_type {
    cgltf_primitive_type_invalid,
    cgltf_primitive_type_points,
    cgltf_primitive_type_lines,
    cgltf_primitive_type_line_loop,
    cgltf_primitive_type_line_strip,
    cgltf_primitive_type_triangles,
    cgltf_primitive_type_triangle_strip,
    cgltf_primitive_type_triangle_fan,
    cgltf_primitive_type_max_enum
} cgltf_primitive_type;

typedef enum cgltf_data_free_method {
    cgltf_data_free_method_none,
    cgltf_data_free_method_file_release,
    cgltf_data_free_method_memory_free,
    cgltf_data_free_method_max_enum
} cgltf_data_free_method;

typedef struct cgltf_buffer {
    char* name;
    cgltf_size size;
    char* uri;
    void* data; /* filled by cgltf_load_buffers */
    cgltf_data_free_method data_free_method;
} cgltf_buffer;

typedef struct cgltf_buffer_view {
    char* name;
    cgltf_buffer* buffer;
    cgltf_size offset;
    cgltf_size size;
    cgltf_size stride; /* 0: the accessor's element size */
    cgltf_buffer_view_type type;
    void* data; /* overrides buffer->data when set; never set by this implementation */
} cgltf_buffer_view;

typedef struct cgltf_accessor_sparse {
    cgltf_size count;
    cgltf_buffer_view* indices_buffer_view;
    cgltf_size indices_byte_offset;
    cgltf_component_type indices_component_type;
    cgltf_buffer_view* values_buffer_view;
    cgltf_size values_byte_offset;
} cgltf_accessor_sparse;

typedef struct cgltf_accessor {
    char* name;
    cgltf_component_type component_type;
    cgltf_bool normalized;
    cgltf_type type;
    cgltf_size offset;
    cgltf_size count;
    cgltf_size stride;
    cgltf_buffer_view* buffer_view;
    cgltf_bool has_min;
    cgltf_float min[16];
    cgltf_bool has_max;
    cgltf_float max[16];
    cgltf_bool is_sparse;
    cgltf_accessor_sparse sparse;
} cgltf_accessor;

typedef struct cgltf_attribute {
    char* name;
    cgltf_attribute_type type;
    cgltf_int index;
    cgltf_accessor* data;
} cgltf_attribute;

typedef struct cgltf_image {
    char* name;
    char* uri; /* as written in the file, not percent-decoded; NULL for an image in a buffer view */
    cgltf_buffer_view* buffer_view;
    char* mime_type;
} cgltf_image;

typedef struct cgltf_texture {
    char* name;
    cgltf_image* image;
} cgltf_texture;

typedef struct cgltf_texture_view {
    cgltf_texture* texture;
    cgltf_int texcoord;
    cgltf_float scale; /* scale of a normal texture, strength of an occlusion texture */
} cgltf_texture_view;

typedef struct cgltf_pbr_metallic_roughness {
    cgltf_texture_view base_color_texture;
    cgltf_texture_view metallic_roughness_texture;
    cgltf_float base_color_factor[4];
    cgltf_float metallic_factor;
    cgltf_float roughness_factor;
} cgltf_pbr_metallic_roughness;

typedef enum cgltf_alpha_mode {
    cgltf_alpha_mode_opaque,
    cgltf_alpha_mode_mask,
    cgltf_alpha_mode_blend,
    cgltf_alpha_mode_max_enum
} cgltf_alpha_mode;

typedef struct cgltf_material {
    char* name;
    cgltf_bool has_pbr_metallic_roughness;
    cgltf_pbr_metallic_roughness pbr_metallic_roughness;
    cgltf_texture_view normal_texture;
    cgltf_texture_view occlusion_texture;
    cgltf_texture_view emissive_texture;
    cgltf_float emissive_factor[3];
    cgltf_alpha_mode alpha_mode;
    cgltf_float alpha_cutoff;
    cgltf_bool double_sided;
} cgltf_material;

typedef struct cgltf_primitive {
    cgltf_primitive_type type;
    cgltf_accessor* indices;
    cgltf_material* material;
    cgltf_attribute* attributes;
    cgltf_size attributes_count;
} cgltf_primitive;

typedef struct cgltf_mesh {
    char* name;
    cgltf_primitive* primitives;
    cgltf_size primitives_count;
} cgltf_mesh;

typedef struct cgltf_node cgltf_node;

struct cgltf_node {
    char* name;
    cgltf_node* parent;
    cgltf_node** children;
    cgltf_size children_count;
    cgltf_mesh* mesh;
    cgltf_bool has_translation;
    cgltf_bool has_rotation;
    cgltf_bool has_scale;
    cgltf_bool has_matrix;
    cgltf_float translation[3];
    cgltf_float rotation[4]; /* quaternion x, y, z, w */
    cgltf_float scale[3];
    cgltf_float matrix[16]; /* column-major */
};

typedef struct cgltf_scene {
    char* name;
    cgltf_node** nodes;
    cgltf_size nodes_count;
} cgltf_scene;

typedef struct cgltf_data {
    cgltf_file_type file_type;
    void* file_data;

    cgltf_mesh* meshes;
    cgltf_size meshes_count;
    cgltf_material* materials;
    cgltf_size materials_count;
    cgltf_accessor* accessors;
    cgltf_size accessors_count;
    cgltf_buffer_view* buffer_views;
    cgltf_size buffer_views_count;
    cgltf_buffer* buffers;
    cgltf_size buffers_count;
    cgltf_image* images;
    cgltf_size images_count;
    cgltf_texture* textures;
    cgltf_size textures_count;
    cgltf_node* nodes;
    cgltf_size nodes_count;
    cgltf_scene* scenes;
    cgltf_size scenes_count;
    cgltf_scene* scene; /* the default scene; NULL when the file has no "scene" */

    const char* json;
    cgltf_size json_size;
    const void* bin; /* the BIN chunk of a GLB file */
    cgltf_size bin_size;

    cgltf_memory_options memory;
    cgltf_file_options file;
} cgltf_data;

cgltf_result cgltf_parse(const cgltf_options* options, const void* data, cgltf_size size,
                         cgltf_data** out_data);
cgltf_result cgltf_parse_file(const cgltf_options* options, const char* path, cgltf_data** out_data);
cgltf_result cgltf_load_buffers(const cgltf_options* options, cgltf_data* data, const char* gltf_path);
cgltf_size cgltf_decode_uri(char* uri);
cgltf_result cgltf_validate(cgltf_data* data);
void cgltf_free(cgltf_data* data);

void cgltf_node_transform_local(const cgltf_node* node, cgltf_float* out_matrix);
void cgltf_node_transform_world(const cgltf_node* node, cgltf_float* out_matrix);

const cgltf_accessor* cgltf_find_accessor(const cgltf_primitive* prim, cgltf_attribute_type type,
                                          cgltf_int index);
cgltf_size cgltf_num_components(cgltf_type type);
cgltf_size cgltf_accessor_unpack_floats(const cgltf_accessor* accessor, cgltf_float* out,
                                        cgltf_size float_count);
cgltf_size cgltf_accessor_unpack_indices(const cgltf_accessor* accessor, void* out,
                                         cgltf_size out_component_size, cgltf_size index_count);

#ifdef __cplusplus
}
#endif

#endif /* LANTERN_COMPAT_CGLTF_H */
